#pragma once

#include <QString>

namespace zd::platform {

// Where the desktop keeps per-user data and configuration (XDG_DATA_HOME, XDG_CONFIG_HOME, or
// their defaults under the home folder).
QString xdgDataHome();
QString xdgConfigHome();

// The Exec value of a desktop entry running `program` with one file argument: the program
// quoted when it needs quoting, with the escapes the desktop-entry format asks for.
QString desktopExecLine(const QString& program);

// What the desktop entry starts for `program`: the program itself when its path needs neither
// quotes nor escapes, else a symbolic link to it under the user's data folder
// (<data>/zephyrdeck/zephyrdeck) whose path needs none; the program when the link cannot be
// made there.
QString desktopLauncher(const QString& program);

struct AssociationFiles {
    QString desktopEntry;  // <data>/applications/MyPlayer.desktop
    QString mimePackage;   // <data>/mime/packages/MyPlayer.xml
    QString mimeApps;      // <config>/mimeapps.list
};
AssociationFiles associationFiles();

// Makes the program in `appFolder` the opener of .swf movies for this user: a desktop entry
// for the type "MyPlayer", the .swf type in the user's MIME database and the default
// application in mimeapps.list (every other line of that file kept). Writes nothing outside
// the XDG folders; every failure is silent. The desktop's caches are refreshed in the
// background when their tools are installed.
void registerSwfAssociation(const QString& appFolder);

// Tests turn the background cache refresh off (it would outlive their scratch folders).
void setRefreshDesktopCaches(bool refresh);

}  // namespace zd::platform
