#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <cstddef>
#include <memory>

#include "engine/swf/MovieData.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace zd::engine {

// Brings a movie's bytes in: a local path, a file: URL or an http(s): address. The bytes go
// into a MovieData as they arrive; whoever owns the loader looks at it after each arrived().
//
// Memory stays bounded whatever the source sends: the network is read through a buffer of
// kNetworkBuffer bytes (the transfer waits while it is full), and no more than the size cap
// is ever taken in. A source that goes on past the cap ends the load with what arrived.
class MovieLoader : public QObject {
    Q_OBJECT

  public:
    enum class State {
        Idle,     // nothing asked, or cancelled
        Loading,  // bytes may still come
        Done,     // the source ended or the movie is whole
        Failed,   // not loadable; error() says why
    };
    // What Qt holds for a transfer at most before it stops reading the connection.
    static constexpr qint64 kNetworkBuffer = qint64{1} << 20;
    // What one read takes from a file or the network buffer at most.
    static constexpr qint64 kReadChunk = qint64{1} << 20;

    explicit MovieLoader(std::size_t sizeCap = kMaxMovieBytes, QObject* parent = nullptr);
    ~MovieLoader() override;

    // Drops what was loading and starts anew. A local file is read whole within this call;
    // an address loads from the event loop. Signals may come from inside this call.
    void load(const QString& pathOrAddress);
    // Drops the transfer and the movie; no signal follows.
    void cancel();

    State state() const { return state_; }
    QString error() const { return error_; }
    // The movie as far as it has arrived; nullptr when idle or failed. (A failed movie is
    // kept until the next load, so nothing that still points into it is left dangling.)
    MovieData* movie() const { return state_ == State::Failed ? nullptr : movie_.get(); }
    // Bytes taken from the source so far (compressed, as sent).
    qint64 bytesReceived() const { return received_; }
    std::size_t sizeCap() const { return cap_; }

  signals:
    // More of the movie arrived (or it ended, state() then says Done).
    void arrived();
    // The load failed; raised once per load, never after cancel().
    void failed(const QString& reason);

  private:
    void loadFile(const QString& path);
    void startDownload(const QUrl& url);
    void readReply();
    void onReplyFinished();
    // An error page is no movie: false (and the load fails) for a status of 400 or more.
    bool statusAcceptable(QNetworkReply* reply);
    void dropReply();
    // Takes bytes in; false once the load has ended (failed, whole, or cancelled meanwhile).
    bool take(const char* bytes, qsizetype size);
    void end();
    void fail(const QString& reason);

    std::size_t cap_;
    State state_ = State::Idle;
    QString error_;
    std::unique_ptr<MovieData> movie_;
    qint64 received_ = 0;
    quint64 generation_ = 0;  // bumped by every load and cancel

    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> reply_;
};

}  // namespace zd::engine
