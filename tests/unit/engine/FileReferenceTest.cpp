// FileReference on the player: scripts reach only files the user picked, a download replaces
// the chosen file only once it is whole, and a request keeps its object until it ends. The
// dialogs and transfers here are the test's; the scripted desktop's rule is checked at the end.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/script/ScriptedFiles.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/SwfWriter.h"

using namespace zd;
using avm1::CallInfo;
using avm1::Value;
using avm1::Vm;

namespace {

std::vector<std::string>* gHeard = nullptr;

// A listener method: notes its event's name and the arguments after the file.
Value hear(Vm& vm, const CallInfo& c) {
    std::string line = vm.toStdString(c.callee->data);
    for (std::size_t i = 1; i < c.count(); ++i) {
        line += " " + vm.toStdString(c.arg(i));
    }
    gHeard->push_back(line);
    return Value();
}

struct Desktop final : script::FileDialogs {
    std::vector<std::string> picks;
    std::optional<std::string> saveTo;
    std::vector<script::FileTypeFilter> filters;
    std::string suggested;
    void open(const std::vector<script::FileTypeFilter>& f, bool, OpenDone done) override {
        filters = f;
        done(picks);
    }
    void save(const std::string& name, SaveDone done) override {
        suggested = name;
        done(saveTo);
    }
};

struct Transfer final : script::FileTransfer {
    State now = State::Done;
    bool heard = true;
    int status = 200;
    std::string body;
    State state() const override { return now; }
    bool answered() const override { return heard; }
    int httpStatus() const override { return status; }
    const std::string& bytes() const override { return body; }
    std::size_t bytesTotal() const override { return body.size(); }
};

class FileReferences : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        swfwriter::MovieWriter m(10, swfwriter::Rect{0, 8000, 0, 6000}, 24);
        m.showFrame();
        movie_ = engine::MovieData::fromBytes(m.finish());
        player_ = std::make_unique<engine::StagePlayer>(*movie_);
        host_ = std::make_unique<script::ScriptHost>(*player_, *movie_);
        host_->setFileDialogs(&desktop_);
        host_->onTrace = [this](std::string_view l) { traced_.emplace_back(l); };
        host_->onTransfer = [this](const script::TransferRequest& r) {
            requests_.push_back(r);
            auto t = std::make_unique<Transfer>(next_);
            current_ = t.get();
            return t;
        };
        player_->settle();
        gHeard = &heard_;
    }
    void TearDown() override { gHeard = nullptr; }

    Vm& vm() { return host_->vm(); }
    Value str(const std::string& s) { return Value(vm().str(s)); }
    // A new FileReference, kept as a global so collection leaves it, with a listener that
    // hears every event.
    Value newFile(const char* global) {
        const Value ctor =
            vm().get(Value(avm1::lib::packageObject(vm(), "flash.net")), "FileReference");
        const Value file = vm().construct(ctor, {});
        vm().set(Value(vm().global()), global, file);
        avm1::Object* listener = vm().newObject(vm().protos().object);
        for (const char* event : {"onSelect", "onCancel", "onOpen", "onProgress", "onComplete",
                                  "onHTTPError", "onIOError", "onSecurityError"}) {
            avm1::FunctionObject* fn = vm().newNative(hear);
            fn->data = str(event);
            vm().set(Value(listener), event, Value(fn));
        }
        call(file, "addListener", {Value(listener)});
        return file;
    }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return vm().call(vm().get(self, method), self, args);
    }
    std::string text(const Value& self, const char* name) {
        return vm().toStdString(vm().get(self, name));
    }
    std::vector<std::string> deliver() {
        host_->deliverLoads();
        return std::exchange(heard_, {});
    }
    QString path(const char* name) const { return QDir(dir_.path()).filePath(name); }
    void write(const char* name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const char* name) {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir_;
    Desktop desktop_;
    Transfer next_;
    Transfer* current_ = nullptr;
    std::vector<script::TransferRequest> requests_;
    std::vector<std::string> heard_;
    std::vector<std::string> traced_;
    std::unique_ptr<engine::MovieData> movie_;
    std::unique_ptr<engine::StagePlayer> player_;
    std::unique_ptr<script::ScriptHost> host_;
};

using Heard = std::vector<std::string>;

TEST_F(FileReferences, OnlyThePickedFileIsUploadedAndItsFactsAnswerOncePicked) {
    write("photo.jpg", "abc");
    const Value file = newFile("f");
    EXPECT_FALSE(vm().toBoolean(call(file, "upload", {str("http://example.com/up")})));
    EXPECT_TRUE(requests_.empty());
    EXPECT_EQ(text(file, "name"), "undefined");

    desktop_.picks = {path("photo.jpg").toStdString()};
    avm1::Object* filter = vm().newObject(vm().protos().object);
    vm().set(Value(filter), "description", str("Images"));
    vm().set(Value(filter), "extension", str("*.jpg; *.png"));
    const Value list(vm().newArray(std::vector<Value>{Value(filter)}));
    EXPECT_TRUE(vm().toBoolean(call(file, "browse", {list})));
    ASSERT_EQ(desktop_.filters.size(), 1u);
    EXPECT_EQ(desktop_.filters[0].patterns, (std::vector<std::string>{"*.jpg", "*.png"}));
    EXPECT_EQ(deliver(), Heard{"onSelect"});
    EXPECT_EQ(text(file, "name"), "photo.jpg");
    EXPECT_EQ(text(file, "size"), "3");
    EXPECT_EQ(text(file, "type"), ".jpg");
    EXPECT_NE(text(file, "modificationDate"), "undefined");

    EXPECT_TRUE(vm().toBoolean(call(file, "upload", {str("http://example.com/up"), str("pic")})));
    EXPECT_EQ(deliver(), (Heard{"onOpen", "onProgress 3 3", "onComplete"}));
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_TRUE(requests_[0].post);
    EXPECT_NE(requests_[0].body.find("name=\"pic\"; filename=\"photo.jpg\""), std::string::npos);
    EXPECT_NE(requests_[0].body.find("\r\n\r\nabc\r\n--"), std::string::npos);
}

TEST_F(FileReferences, ADownloadReplacesTheChosenFileOnlyWhenWhole) {
    write("keep.txt", "mine");
    desktop_.saveTo = path("keep.txt").toStdString();
    const Value file = newFile("f");
    next_.now = Transfer::State::Failed;
    next_.status = 500;
    next_.body = "oops";
    EXPECT_TRUE(vm().toBoolean(call(file, "download", {str("http://example.com/dir/a.txt")})));
    EXPECT_EQ(desktop_.suggested, "a.txt");
    EXPECT_EQ(deliver(), (Heard{"onSelect", "onOpen", "onIOError", "onProgress 4 4"}));
    EXPECT_EQ(traced_,
              (std::vector<std::string>{"Error opening URL 'http://example.com/dir/a.txt'"}));
    EXPECT_EQ(read("keep.txt"), "mine");

    next_ = Transfer{};
    next_.body = "new";
    EXPECT_TRUE(vm().toBoolean(
        call(file, "download", {str("http://example.com/dir/a.txt"), str("b.txt")})));
    EXPECT_EQ(desktop_.suggested, "b.txt");
    EXPECT_EQ(deliver(), (Heard{"onSelect", "onOpen", "onProgress 3 3", "onComplete"}));
    EXPECT_EQ(read("keep.txt"), "new");
    EXPECT_EQ(text(file, "name"), "keep.txt");
    EXPECT_EQ(text(file, "size"), "3");
}

TEST_F(FileReferences, DownloadsComeOnlyFromWebAddresses) {
    struct Case {
        const char* url;
        const char* movieAddress;
        bool accepted;
    };
    const Case cases[] = {
        {"http://example.com/a", "", true},
        {"https://example.com/a", "", true},
        {"ftp://example.com/a", "", false},
        {"file:///etc/passwd", "", false},
        {"a.txt", "", false},
        {"a.txt", "http://example.com/movie.swf", true},
        {"file:///etc/passwd", "http://example.com/movie.swf", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        host_->setBaseUrl(c.movieAddress);
        const Value file = newFile(("f" + std::to_string(n++)).c_str());
        EXPECT_EQ(vm().toBoolean(call(file, "download", {str(c.url)})), c.accepted)
            << c.url << " from " << c.movieAddress;
    }
}

TEST_F(FileReferences, CancelEndsATransferAndNothingIsWritten) {
    desktop_.saveTo = path("later.txt").toStdString();
    next_.now = Transfer::State::Loading;
    next_.heard = false;
    const Value file = newFile("f");
    EXPECT_TRUE(vm().toBoolean(call(file, "download", {str("http://example.com/later.txt")})));
    EXPECT_EQ(deliver(), Heard{"onSelect"});
    call(file, "cancel");
    current_ = nullptr;  // the host dropped it
    EXPECT_EQ(deliver(), Heard{});
    EXPECT_FALSE(QFile::exists(path("later.txt")));
    // The object is free for the next request.
    desktop_.saveTo.reset();
    EXPECT_TRUE(vm().toBoolean(call(file, "download", {str("http://example.com/later.txt")})));
    EXPECT_EQ(deliver(), Heard{"onCancel"});
}

TEST_F(FileReferences, AnUploadRefusedByTheServerReportsItsStatus) {
    write("x.bin", "1234");
    desktop_.picks = {path("x.bin").toStdString()};
    const Value file = newFile("f");
    EXPECT_TRUE(vm().toBoolean(call(file, "browse")));
    deliver();
    next_.now = Transfer::State::Failed;
    next_.status = 403;
    EXPECT_TRUE(vm().toBoolean(call(file, "upload", {str("http://example.com/up")})));
    EXPECT_EQ(deliver(), (Heard{"onOpen", "onHTTPError 403"}));
}

TEST_F(FileReferences, APendingRequestKeepsItsObjectThroughCollection) {
    write("x.bin", "1");
    desktop_.picks = {path("x.bin").toStdString()};
    Value file = newFile("f");
    EXPECT_TRUE(vm().toBoolean(call(file, "browse")));
    // Only the request holds the file now.
    vm().set(Value(vm().global()), "f", Value());
    file = Value();
    vm().collectGarbage();
    EXPECT_EQ(deliver(), Heard{"onSelect"});
}

TEST(ScriptedFiles, AnswersByTheMarkerInTheRequest) {
    using Answer = script::ScriptedFiles::Answer;
    EXPECT_EQ(script::ScriptedFiles::answerOf("debug-success.txt"), Answer::Success);
    EXPECT_EQ(script::ScriptedFiles::answerOf("debug-select-success"), Answer::Success);
    EXPECT_EQ(script::ScriptedFiles::answerOf("http://a.b/?debug-error-statuscode"),
              Answer::StatusError);
    EXPECT_EQ(script::ScriptedFiles::answerOf("http://a.b/?debug-error-dns"), Answer::Refused);
    EXPECT_EQ(script::ScriptedFiles::answerOf("success.txt"), Answer::Refused);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    script::ScriptedFiles desktop(dir.path().toStdString());
    std::vector<std::string> picked;
    desktop.open({{"debug-select-success", {"*"}}}, true,
                 [&](std::vector<std::string> p) { picked = std::move(p); });
    ASSERT_EQ(picked.size(), 3u);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(picked[2])));
    desktop.open({{"Text", {"*.txt"}}}, false,
                 [&](std::vector<std::string> p) { picked = std::move(p); });
    EXPECT_TRUE(picked.empty());
    std::optional<std::string> saved;
    desktop.save("debug-cancel.txt", [&](std::optional<std::string> p) { saved = std::move(p); });
    EXPECT_FALSE(saved);
    const auto failed = desktop.transfer({"http://a.b/?debug-error-statuscode", false, {}, {}});
    EXPECT_EQ(failed->state(), script::FileTransfer::State::Failed);
    EXPECT_TRUE(failed->answered());
    EXPECT_EQ(failed->httpStatus(), 404);
}

}  // namespace
