#include "app/MovieLinks.h"

#include <QFileInfo>
#include <QUrl>

namespace zd {

std::optional<QString> MovieLinks::admit(const QString& url, qint64 nowMs) {
    const QString trimmed = url.trimmed();
    const QUrl parsed(trimmed, QUrl::StrictMode);
    if (!parsed.isValid()) {
        return std::nullopt;
    }
    const QString scheme = parsed.scheme().toLower();
    const bool web = (scheme == u"http" || scheme == u"https") && !parsed.host().isEmpty();
    const bool mail = scheme == u"mailto" && !parsed.path().isEmpty();
    if (!web && !mail) {
        return std::nullopt;
    }
    if (lastOpened_ && nowMs - *lastOpened_ < kMinIntervalMs && nowMs >= *lastOpened_) {
        return std::nullopt;
    }
    lastOpened_ = nowMs;
    return parsed.toString(QUrl::FullyEncoded);
}

QString movieFolder(const QString& pathOrAddress) {
    const QUrl url(pathOrAddress);
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        return {};
    }
    const QString path = scheme == u"file" ? url.toLocalFile() : pathOrAddress;
    if (path.isEmpty()) {
        return {};
    }
    return QFileInfo(path).absolutePath();
}

}  // namespace zd
