// Opening movies from the main window: the file dialog, the open button and dropped files.
#include <QPointer>
#include <optional>

#include "app/AdvancedLink.h"
#include "app/CommonDialogState.h"
#include "app/FlashControl.h"
#include "app/MenuLink.h"
#include "app/MovieList.h"
#include "app/OptionsLink.h"
#include "app/PathRules.h"
#include "controls/MouseEventSource.h"
#include "mainwindow/Form1.h"
#include "platform/Services.h"

namespace zd {

void Form1::connectOpen() {
    connect(ImageOpen->events(), &MouseEventSource::click, this, &Form1::ImageOpen_Click);
}

void Form1::OpenFiles() {
    // The dialog's memory lives on the advanced window; referring to it loads that window.
    platform::OpenFileRequest request;
    request.filters = {QStringLiteral("Flash文件(*.swf)"), QStringLiteral("所有文件 (*.*)")};
    request.filterIndex = 1;
    request.initialFile = advanced_.fileDialog().FileName;
    const QPointer<Form1> self(this);
    const std::optional<platform::OpenFileResult> chosen =
        platform::commonDialogs().openFile(this, request);
    // Cancelled: nothing changes. The windows may also have gone while the dialog was open.
    if (!chosen || !self)
        return;
    if (CommonDialogState* memory = advanced_.loadedFileDialog()) {
        memory->FileName = chosen->path;
        memory->FileTitle = chosen->fileTitle;
    }
    const QString path = chosen->path;
    SwFlash->setMovie(path);
    SwFlash->setPlaying(false);
    MovieList& list = options_.playList();
    list.append(chosen->fileTitle, path);
    playback->showHalted();
    // A wave file chosen under "all files" is heard; the player ignores anything else.
    platform::soundPlayer().playAsync(path);
    SwFlash->setMovie(path);
    list.save();
    options_.hideOptionsWindow();
    menus_.hideMenu(MenuLink::Menu::PlayList);
}

void Form1::ImageOpen_Click() {
    OpenFiles();
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

void Form1::obj_GetFileName(const QString& sFile) {
    options_.setAddress(sFile);
    SwFlash->setMovie(options_.address());
    MovieList& list = options_.playList();
    list.append(StripPath(sFile), sFile);
    list.save();
}

}  // namespace zd
