#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <cstddef>
#include <string>

class QNetworkAccessManager;
class QNetworkReply;

namespace zd::engine {

// Brings the bytes of one http(s) address in for a script (a sound, a video file, data), as
// they arrive. Memory stays bounded as the movie loader's does: Qt reads the connection through
// a buffer of kNetworkBuffer bytes, and no more than the size cap is ever kept; a source that
// goes past the cap fails the load rather than hand over a file cut short.
class DataFetch : public QObject {
    Q_OBJECT

  public:
    enum class State { Loading, Done, Failed };
    static constexpr qint64 kNetworkBuffer = qint64{1} << 20;
    // A server that sends nothing for this long fails the load.
    static constexpr int kTransferTimeoutMs = 30000;

    // Starts at once; signals come from the event loop, never from inside the constructor.
    DataFetch(QNetworkAccessManager& network, const QUrl& url, std::size_t sizeCap,
              QObject* parent = nullptr);
    // The same for a post of `body` (of that content type); the answer is what is brought in.
    DataFetch(QNetworkAccessManager& network, const QUrl& url, std::size_t sizeCap,
              const QByteArray& contentType, const QByteArray& body, QObject* parent = nullptr);
    ~DataFetch() override;

    State state() const { return state_; }
    QString error() const { return error_; }
    // The bytes so far (all of them once Done; what arrived before the failure once Failed).
    const std::string& bytes() const { return bytes_; }
    // The length the server announced (0: not said).
    qint64 bytesTotal() const { return total_; }
    // Whether the server answered (its headers arrived), and the HTTP status it gave (0: none).
    bool answered() const { return answered_; }
    int httpStatus() const { return status_; }

  signals:
    // More bytes arrived; the load goes on.
    void progressed();
    // The load ended (state() says how); raised exactly once.
    void finished();

  private:
    void watch(QNetworkReply* reply);
    void readReply();
    void onReplyFinished();
    bool statusAcceptable();
    void dropReply();
    void fail(const QString& reason);

    std::size_t cap_;
    State state_ = State::Loading;
    QString error_;
    std::string bytes_;
    qint64 total_ = 0;
    bool answered_ = false;
    int status_ = 0;
    QPointer<QNetworkReply> reply_;
};

}  // namespace zd::engine
