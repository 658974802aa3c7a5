#include "platform/DesktopAssociation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/ProfileFile.h"

namespace zd::platform {

namespace {

constexpr char kMimeType[] = "application/x-shockwave-flash";
constexpr char kEntryName[] = "MyPlayer.desktop";
constexpr char kExecutableName[] = "zephyrdeck";
// Where the link to a program in an awkwardly named folder lives, under the user's data folder.
constexpr char kLauncherLink[] = "/zephyrdeck/zephyrdeck";

QString homeRelative(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules ignore relative paths.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

bool writeWhole(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool& refreshCaches() {
    static bool refresh = true;
    return refresh;
}

void refreshInBackground(const QString& tool, const QString& folder) {
    if (!refreshCaches())
        return;
    const QString found = QStandardPaths::findExecutable(tool);
    if (!found.isEmpty())
        QProcess::startDetached(found, {folder});
}

// A path every launcher reads the same: the desktop-entry rules quote and escape the others, but
// xdg-open without a desktop environment takes the command up to the first blank, unquoted, and
// keeps a doubled percent sign.
bool isPlainPath(const QString& path) {
    static const QString allowed = QStringLiteral("/._-+,@");
    for (const QChar c : path) {
        if (!c.isLetterOrNumber() && !allowed.contains(c))
            return false;
    }
    return !path.isEmpty();
}

// Makes `link` a symbolic link to `target`, replacing an older link or file there.
bool linkTo(const QString& link, const QString& target) {
    const QFileInfo existing(link);
    if (existing.isSymLink() && existing.symLinkTarget() == target)
        return true;
    if (!QDir().mkpath(existing.absolutePath()))
        return false;
    if ((existing.isSymLink() || existing.isFile()) && !QFile::remove(link))
        return false;
    return QFile::link(target, link);
}

}  // namespace

QString desktopLauncher(const QString& program) {
    if (isPlainPath(program))
        return program;
    const QString link = xdgDataHome() + QLatin1String(kLauncherLink);
    return isPlainPath(link) && linkTo(link, program) ? link : program;
}

void setRefreshDesktopCaches(bool refresh) {
    refreshCaches() = refresh;
}

QString xdgDataHome() {
    return homeRelative("XDG_DATA_HOME", ".local/share");
}
QString xdgConfigHome() {
    return homeRelative("XDG_CONFIG_HOME", ".config");
}

QString desktopExecLine(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (const QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString argument;
    for (const QChar c : program) {
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\'))
            argument += '\\';
        argument += c;
    }
    if (needsQuotes)
        argument = '"' + argument + '"';
    // The value itself is a string of the desktop-entry format: backslashes are escaped again,
    // and a percent sign would start a field code.
    argument.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    argument.replace(QLatin1Char('%'), QLatin1String("%%"));
    return argument + QLatin1String(" %f");
}

AssociationFiles associationFiles() {
    return {xdgDataHome() + QLatin1String("/applications/") + QLatin1String(kEntryName),
            xdgDataHome() + QLatin1String("/mime/packages/MyPlayer.xml"),
            xdgConfigHome() + QLatin1String("/mimeapps.list")};
}

void registerSwfAssociation(const QString& appFolder) {
    const AssociationFiles files = associationFiles();
    const QString program = appFolder + QLatin1Char('/') + QLatin1String(kExecutableName);

    const QString entry =
        QStringLiteral(
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=ZephyrDeck\n"
            "Comment=ZephyrDeck 影片\n"
            "Exec=%1\n"
            "MimeType=%2;\n"
            "Terminal=false\n")
            .arg(desktopExecLine(desktopLauncher(program)), QLatin1String(kMimeType));
    writeWhole(files.desktopEntry, entry.toUtf8());

    const QString mime =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"%1\">\n"
            "    <comment>ZephyrDeck 影片</comment>\n"
            "    <glob pattern=\"*.swf\"/>\n"
            "  </mime-type>\n"
            "</mime-info>\n")
            .arg(QLatin1String(kMimeType));
    writeWhole(files.mimePackage, mime.toUtf8());

    ProfileDocument apps;
    if (ProfileDocument::loadExisting(files.mimeApps, apps)) {
        apps.setValue(QStringLiteral("Default Applications"), QLatin1String(kMimeType),
                      QLatin1String(kEntryName));
        QDir().mkpath(QFileInfo(files.mimeApps).absolutePath());
        apps.save(files.mimeApps);
    }

    refreshInBackground(QStringLiteral("update-mime-database"), xdgDataHome() + "/mime");
    refreshInBackground(QStringLiteral("update-desktop-database"), xdgDataHome() + "/applications");
}

}  // namespace zd::platform
