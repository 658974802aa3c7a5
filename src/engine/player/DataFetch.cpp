#include "engine/player/DataFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <utility>

#include "engine/player/ReplyRelease.h"

namespace zd::engine {

DataFetch::DataFetch(QNetworkAccessManager& network, const QUrl& url, std::size_t sizeCap,
                     QObject* parent)
    : QObject(parent), cap_(std::max<std::size_t>(sizeCap, 1)) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    watch(network.get(request));
}

DataFetch::DataFetch(QNetworkAccessManager& network, const QUrl& url, std::size_t sizeCap,
                     const QByteArray& contentType, const QByteArray& body, QObject* parent)
    : QObject(parent), cap_(std::max<std::size_t>(sizeCap, 1)) {
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    watch(network.post(request, body));
}

void DataFetch::watch(QNetworkReply* reply) {
    reply->setReadBufferSize(kNetworkBuffer);
    reply_ = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (reply_ == nullptr) {
            return;
        }
        answered_ = true;
        if (statusAcceptable()) {
            total_ = std::max<qint64>(
                0, reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong());
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, &DataFetch::readReply);
    connect(reply, &QNetworkReply::finished, this, &DataFetch::onReplyFinished);
}

DataFetch::~DataFetch() {
    dropReply();
}

bool DataFetch::statusAcceptable() {
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    status_ = status;
    if (status < 400) {
        return true;
    }
    fail(QStringLiteral("HTTP %1 from %2").arg(status).arg(reply_->url().toString()));
    return false;
}

void DataFetch::readReply() {
    if (reply_ == nullptr || state_ != State::Loading || !statusAcceptable()) {
        return;
    }
    const std::size_t before = bytes_.size();
    while (reply_ != nullptr && reply_->bytesAvailable() > 0) {
        const QByteArray chunk = reply_->read(kNetworkBuffer);
        if (chunk.isEmpty()) {
            break;
        }
        if (static_cast<std::size_t>(chunk.size()) > cap_ - bytes_.size()) {
            fail(QStringLiteral("%1 is larger than %2 bytes")
                     .arg(reply_->url().toString())
                     .arg(cap_));
            return;
        }
        bytes_.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
    }
    if (bytes_.size() > before) {
        emit progressed();
    }
}

void DataFetch::onReplyFinished() {
    if (reply_ == nullptr || state_ != State::Loading) {
        return;
    }
    readReply();
    if (state_ != State::Loading || reply_ == nullptr) {
        return;
    }
    if (reply_->error() != QNetworkReply::NoError) {
        fail(reply_->errorString());
        return;
    }
    if (total_ > 0 && static_cast<qint64>(bytes_.size()) < total_) {
        fail(QStringLiteral("%1 ended after %2 of %3 bytes")
                 .arg(reply_->url().toString())
                 .arg(bytes_.size())
                 .arg(total_));
        return;
    }
    dropReply();
    state_ = State::Done;
    emit finished();
}

void DataFetch::dropReply() {
    releaseReply(std::exchange(reply_, nullptr), this);
}

void DataFetch::fail(const QString& reason) {
    if (state_ != State::Loading) {
        return;  // one report per load
    }
    dropReply();
    state_ = State::Failed;
    error_ = reason;
    emit finished();
}

}  // namespace zd::engine
