#include "platform/AppFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zd::platform {

namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
}  // namespace

QString appFolder() {
    QString folder = overrideFolder();
    if (folder.isEmpty()) {
        folder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                              : QDir::currentPath();
    }
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void setAppFolderOverride(const QString& folder) {
    overrideFolder() = folder;
}

QString appFile(const QString& name) {
    QString rest = name;
    while (rest.startsWith(QLatin1Char('/')) || rest.startsWith(QLatin1Char('\\')))
        rest.remove(0, 1);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString folder = appFolder();
    return folder == QLatin1String("/") ? folder + rest : folder + QLatin1Char('/') + rest;
}

}  // namespace zd::platform
