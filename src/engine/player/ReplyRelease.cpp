#include "engine/player/ReplyRelease.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace zd::engine {

void releaseReply(QNetworkReply* reply, const QObject* owner) {
    if (reply == nullptr) {
        return;
    }
    reply->disconnect(owner);
    if (reply->isFinished()) {
        reply->deleteLater();
    } else if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400) {
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    } else {
        reply->abort();
        reply->deleteLater();
    }
}

}  // namespace zd::engine
