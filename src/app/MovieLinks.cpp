#include "app/MovieLinks.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
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

QString sharedObjectFolder(const QString& pathOrAddress) {
    if (pathOrAddress.isEmpty()) {
        return {};
    }
    const QUrl url(pathOrAddress);
    const bool local = url.scheme().isEmpty() ||
                       url.scheme().compare(u"file", Qt::CaseInsensitive) == 0 ||
                       url.scheme().size() == 1;  // a drive letter
    const QString full =
        local ? QFileInfo(url.isLocalFile() ? url.toLocalFile() : pathOrAddress).absoluteFilePath()
              : pathOrAddress;
    QString base = local ? QFileInfo(full).completeBaseName() : url.host();
    base.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    const QByteArray hash =
        QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString root = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (root.isEmpty()) {
        return {};
    }
    return root + QStringLiteral("/SharedObjects/") + base.left(64) + u'-' +
           QString::fromLatin1(hash);
}

}  // namespace zd
