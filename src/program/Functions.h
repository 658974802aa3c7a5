#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// The shared routines behind the popup menus and several windows. They take no arguments,
// refer to the windows by their instances (loading a window on first reference) and skip any
// step that fails.
namespace zd {

void ShowAbout();
void ShowHelp();
// The exit routine: hide and unload the floating window and the options window, unload the
// main window (its query-unload and unload steps save the counter and remove the tray icon),
// end the process. Runs once; a second call while it runs does nothing. Asked for during the
// start-up, it lets the start-up end the program at its next step (see startingUp()).
void QuitProgram();
// The exit routine's steps after that check: the windows unloaded, the process ended.
void runExitRoutine();
void OpenMovie();
void ShowMainWindow();
void HideMainWindow();
void ShowFloatWindow();
void HideFloatWindow();
void ShowOptionsWindow();
void RaiseOptionsWindow();
void PlaySelectedEntry();
void RemoveSelectedEntry();
void RemoveEmptyEntries();
void ShowEntryProperties();
void BrowseCaptureFolder();

// The desktop's file-properties sheet for `path`; above 32 on success.
qint32 ShowFileProperties(const QString& path, QWidget* owner);

// SaveLists: the play list's names to List.Tov and its paths to List2.Tov; the options window
// shows the entry count in Text5 and Text6.
void SaveLists();

}  // namespace zd
