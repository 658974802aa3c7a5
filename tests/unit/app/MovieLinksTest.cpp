// Which getURL requests of a movie reach the desktop, and the folder its loads may read.

#include <gtest/gtest.h>

#include <QDir>

#include "app/MovieLinks.h"

namespace zd {
namespace {

TEST(MovieLinks, WebAndMailAddressesOpenOthersNever) {
    MovieLinks links;
    qint64 t = 0;
    auto next = [&t] { return t += MovieLinks::kMinIntervalMs; };
    EXPECT_EQ(links.admit("http://example.com/a?b=c", next()), QString("http://example.com/a?b=c"));
    EXPECT_EQ(links.admit("HTTPS://example.com/", next()), QString("https://example.com/"));
    EXPECT_EQ(links.admit("mailto:someone@example.com", next()),
              QString("mailto:someone@example.com"));
    for (const char* refused :
         {"javascript:alert(1)", "JavaScript:void(0)", "file:///etc/passwd", "FSCommand:quit",
          "fscommand:exec", "/usr/bin/xterm", "relative/page.html", "", "http://",
          "mailto:", "vbscript:x", "data:text/html,hi", "ftp://example.com/"}) {
        EXPECT_FALSE(links.admit(refused, next())) << refused;
    }
}

TEST(MovieLinks, AtMostOneAddressASecond) {
    MovieLinks links;
    EXPECT_TRUE(links.admit("http://example.com/1", 5000));
    EXPECT_FALSE(links.admit("http://example.com/2", 5001));
    EXPECT_FALSE(links.admit("http://example.com/3", 5999));
    EXPECT_TRUE(links.admit("http://example.com/4", 6000));
    // A refused address does not start a new second.
    EXPECT_FALSE(links.admit("javascript:x", 7000));
    EXPECT_TRUE(links.admit("http://example.com/5", 7000));
}

TEST(MovieLinks, LoadsReadTheLocalMoviesFolderOnly) {
    EXPECT_EQ(movieFolder("/srv/movies/a.swf"), QString("/srv/movies"));
    EXPECT_EQ(movieFolder("file:///srv/movies/b.swf"), QString("/srv/movies"));
    EXPECT_EQ(movieFolder("http://example.com/c.swf"), QString());
    EXPECT_EQ(movieFolder("https://example.com/d.swf"), QString());
    EXPECT_EQ(movieFolder(""), QString());
    EXPECT_EQ(movieFolder("e.swf"), QDir::currentPath());
}

}  // namespace
}  // namespace zd
