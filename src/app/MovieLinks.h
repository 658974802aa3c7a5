#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace zd {

// Decides which of a movie's getURL requests reach the desktop: web and mail addresses only
// (never scripts, local files or programs), and at most one a second so a looping script
// cannot flood the desktop with windows. FSCommand calls reach no one.
class MovieLinks {
  public:
    // The address to open for a request made at nowMs (any steady clock), or nothing.
    std::optional<QString> admit(const QString& url, qint64 nowMs);

    static constexpr qint64 kMinIntervalMs = 1000;

  private:
    std::optional<qint64> lastOpened_;
};

// The folder a movie's scripts may load files from: the local movie's own folder; empty for
// a movie from the network (its scripts load nothing locally).
QString movieFolder(const QString& pathOrAddress);

// Where a movie's shared objects are kept: one folder per movie under the user's data
// folder, named after the movie's file and a hash of its full address so that movies of the
// same name elsewhere keep theirs apart. Empty for no movie.
QString sharedObjectFolder(const QString& pathOrAddress);

}  // namespace zd
