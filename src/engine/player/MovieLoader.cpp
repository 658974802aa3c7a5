#include "engine/player/MovieLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <utility>

#include "engine/player/ReplyRelease.h"

namespace zd::engine {

namespace {

// A server that stops sending for this long ends the load with what arrived.
constexpr int kTransferTimeoutMs = 30000;

// Where a Movie text points: a local file or a network address.
struct Location {
    enum class Kind { File, Network, Unsupported } kind = Kind::Unsupported;
    QString path;
    QUrl url;
};

Location locate(QString text) {
    // A path handed over in quotes (as shells and command lines do) names the same file.
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"')) {
        text = text.mid(1, text.size() - 2);
    }
    Location where;
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        where.kind = Location::Kind::Network;
        where.url = url;
    } else if (scheme == u"file") {
        where.kind = Location::Kind::File;
        where.path = url.toLocalFile();
    } else if (text.contains(u"://")) {
        where.kind = Location::Kind::Unsupported;
    } else {
        where.kind = Location::Kind::File;
        where.path = text;
    }
    return where;
}

}  // namespace

MovieLoader::MovieLoader(std::size_t sizeCap, QObject* parent)
    : QObject(parent), cap_(std::max<std::size_t>(sizeCap, 1)) {}

MovieLoader::~MovieLoader() {
    dropReply();
}

void MovieLoader::cancel() {
    ++generation_;
    dropReply();
    movie_.reset();
    state_ = State::Idle;
    error_.clear();
    received_ = 0;
}

void MovieLoader::load(const QString& pathOrAddress) {
    cancel();
    state_ = State::Loading;
    movie_ = std::make_unique<MovieData>(cap_);
    const Location where = locate(pathOrAddress);
    switch (where.kind) {
        case Location::Kind::File:
            loadFile(where.path);
            break;
        case Location::Kind::Network:
            startDownload(where.url);
            break;
        case Location::Kind::Unsupported:
            fail(QStringLiteral("unsupported address: %1").arg(pathOrAddress));
            break;
    }
}

void MovieLoader::loadFile(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        fail(QStringLiteral("no such file: %1").arg(path));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return;
    }
    for (;;) {
        const QByteArray chunk = file.read(kReadChunk);
        if (chunk.isEmpty()) {
            break;  // end of file or a read error: what arrived is the movie
        }
        if (!take(chunk.constData(), chunk.size())) {
            return;
        }
    }
    end();
}

void MovieLoader::startDownload(const QUrl& url) {
    if (network_ == nullptr) {
        network_ = new QNetworkAccessManager(this);
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    // Qt stops reading the connection while this much waits unread: a source faster than
    // the movie takes its bytes cannot fill memory.
    reply->setReadBufferSize(kNetworkBuffer);
    reply_ = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        if (reply == reply_) {
            statusAcceptable(reply);
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, &MovieLoader::readReply);
    connect(reply, &QNetworkReply::finished, this, &MovieLoader::onReplyFinished);
}

bool MovieLoader::statusAcceptable(QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 400) {
        return true;
    }
    fail(QStringLiteral("HTTP %1 from %2").arg(status).arg(reply->url().toString()));
    return false;
}

void MovieLoader::readReply() {
    QNetworkReply* reply = reply_;
    if (reply == nullptr || sender() != reply || !statusAcceptable(reply)) {
        return;
    }
    while (reply_ == reply && reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(kReadChunk);
        if (chunk.isEmpty() || !take(chunk.constData(), chunk.size())) {
            return;
        }
    }
}

void MovieLoader::onReplyFinished() {
    QNetworkReply* reply = reply_;
    if (reply == nullptr || sender() != reply || !statusAcceptable(reply)) {
        return;
    }
    while (reply->bytesAvailable() > 0) {
        const QByteArray chunk = reply->read(kReadChunk);
        if (chunk.isEmpty() || !take(chunk.constData(), chunk.size())) {
            return;
        }
    }
    const QString networkError =
        reply->error() == QNetworkReply::NoError ? QString() : reply->errorString();
    dropReply();
    if (!networkError.isEmpty() && movie_->header() == nullptr) {
        fail(networkError);
        return;
    }
    // A connection that breaks off after the header leaves a truncated but playable movie.
    end();
}

void MovieLoader::dropReply() {
    releaseReply(std::exchange(reply_, nullptr), this);
}

bool MovieLoader::take(const char* bytes, qsizetype size) {
    if (state_ != State::Loading || size <= 0) {
        return state_ == State::Loading;
    }
    const quint64 generation = generation_;
    const qint64 room = static_cast<qint64>(cap_) - received_;
    const qsizetype taken = static_cast<qsizetype>(std::min<qint64>(size, room));
    received_ += taken;
    movie_->append({reinterpret_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(taken)});
    if (movie_->failed()) {
        fail(QString::fromStdString(movie_->problem()));
        return false;
    }
    if (movie_->complete() || received_ >= static_cast<qint64>(cap_)) {
        // Everything needed is in, or all that will ever be taken: the rest is not wanted.
        dropReply();
        end();
        return false;
    }
    emit arrived();
    return generation == generation_ && state_ == State::Loading;
}

void MovieLoader::end() {
    if (state_ != State::Loading) {
        return;
    }
    movie_->finish();
    if (movie_->failed()) {
        fail(QString::fromStdString(movie_->problem()));
        return;
    }
    state_ = State::Done;
    emit arrived();
}

void MovieLoader::fail(const QString& reason) {
    if (state_ != State::Loading) {
        return;  // one report per load
    }
    dropReply();
    state_ = State::Failed;
    error_ = reason;
    emit failed(reason);
}

}  // namespace zd::engine
