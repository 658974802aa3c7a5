// Opening movies from the main window.
#include "app/FlashControl.h"
#include "app/Functions.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "player/PathRules.h"
#include "window/Form1.h"

namespace zd {

void Form1::obj_GetFileName(const QString& sFile) {
    Dialog& options = dialog();
    options.TxtURL->setText(sFile);
    SwFlash->setMovie(options.TxtURL->text());
    options.List2->addItem(sFile);
    options.List1->addItem(StripPath(sFile));
    SaveLists();
}

}  // namespace zd
