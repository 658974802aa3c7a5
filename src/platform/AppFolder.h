#pragma once

#include <QString>

namespace zd::platform {

// The folder of the running executable, without a trailing separator. Every data file of the
// program (settings, play lists, sounds, help) is found beside the executable.
QString appFolder();

// Tests point the program at a scratch folder; an empty text returns to the real one.
void setAppFolderOverride(const QString& folder);

// appFolder() joined with a file name ("Settings.Tov", "sound/menu.wav"), formed anew each call.
QString appFile(const QString& name);

}  // namespace zd::platform
