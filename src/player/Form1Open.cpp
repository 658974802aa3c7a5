// Opening movies from the main window: the file dialog, the open button and dropped files.
#include <QPointer>
#include <optional>

#include "app/FlashControl.h"
#include "app/Functions.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "platform/Services.h"
#include "player/PathRules.h"
#include "popups/Form2.h"
#include "popups/PopupMenu.h"
#include "window/Form1.h"

namespace zd {

void Form1::connectOpen() {
    connect(ImageOpen->events(), &MouseEventSource::click, this, &Form1::ImageOpen_Click);
}

void Form1::OpenFiles() {
    // The dialog's memory lives on the advanced window; referring to it loads that window.
    platform::OpenFileRequest request;
    request.filters = {QStringLiteral("Flash文件(*.swf)"), QStringLiteral("所有文件 (*.*)")};
    request.filterIndex = 1;
    request.initialFile = form2().CommonDialog1.FileName;
    const QPointer<Form1> self(this);
    const std::optional<platform::OpenFileResult> chosen =
        platform::commonDialogs().openFile(this, request);
    // Cancelled: nothing changes. The windows may also have gone while the dialog was open.
    if (!chosen || !self)
        return;
    if (Form2* advanced = loadedForm2()) {
        advanced->CommonDialog1.FileName = chosen->path;
        advanced->CommonDialog1.FileTitle = chosen->fileTitle;
    }
    const QString path = chosen->path;
    SwFlash->setMovie(path);
    SwFlash->setPlaying(false);
    Dialog& options = dialog();
    options.List1->addItem(chosen->fileTitle);
    options.List2->addItem(path);
    ImageBegin->show();
    ImagePause->hide();
    // A wave file chosen under "all files" is heard; the player ignores anything else.
    platform::soundPlayer().playAsync(path);
    SwFlash->setMovie(path);
    SaveLists();
    options.hide();
    if (PopupMenuForm* playListMenu = loadedForm6())
        playListMenu->hide();
}

void Form1::ImageOpen_Click() {
    OpenFiles();
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

void Form1::obj_GetFileName(const QString& sFile) {
    Dialog& options = dialog();
    options.TxtURL->setText(sFile);
    SwFlash->setMovie(options.TxtURL->text());
    options.List2->addItem(sFile);
    options.List1->addItem(StripPath(sFile));
    SaveLists();
}

}  // namespace zd
