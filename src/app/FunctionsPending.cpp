// Shared routines whose behaviour lands with the player-controller work; until then they do
// nothing, so windows that call them build.
#include "app/Functions.h"
#include "window/Form1.h"

namespace zd {

void ShowAbout() {}
void ShowHelp() {}
void OpenMovie() {}
void ShowMainWindow() {}
void HideMainWindow() {}
void ShowFloatWindow() {}
void HideFloatWindow() {}
void ShowOptionsWindow() {}
void RaiseOptionsWindow() {}
void PlaySelectedEntry() {}
void ShowEntryProperties() {}
void BrowseCaptureFolder() {}
qint32 ShowFileProperties(const QString&, QWidget*) { return 0; }
void Form1::OpenFiles() {}

}  // namespace zd
