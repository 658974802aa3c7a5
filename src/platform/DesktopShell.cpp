#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/RealServices.h"

namespace zd::platform {

namespace {
// Result codes in the classic shell range: above 32 means success.
constexpr qint32 kShellOk = 42;
constexpr qint32 kShellFileNotFound = 2;
constexpr qint32 kShellNoAssociation = 31;
// xdg-mime answers from a few small files; a hung one must not hang the menu.
constexpr int kQueryTimeoutMs = 5000;
}  // namespace

bool DesktopShell::openDocument(const QString& pathOrUrl) {
    const QUrl url = QUrl::fromUserInput(pathOrUrl, QString(), QUrl::AssumeLocalFile);
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::hasOpenerFor(const QString& path) {
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return false;
    QProcess process;
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
           !process.readAllStandardOutput().trimmed().isEmpty();
}

qint32 DesktopShell::showFileProperties(const QString& path, QWidget*) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return kShellFileNotFound;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return kShellNoAssociation;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage ? kShellOk : kShellNoAssociation;
}

}  // namespace zd::platform
