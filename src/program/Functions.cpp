#include "program/Functions.h"

#include <QFileInfo>

#include "app/FlashControl.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "platform/AppFolder.h"
#include "platform/Services.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "popups/FrmHelp.h"
#include "program/Program.h"
#include "program/Windows.h"

namespace zd {

namespace {
// The caption of the program's own message boxes.
const QString kProgramTitle = QStringLiteral("ZephyrDeck");
// Shell result codes up to this one are failures.
constexpr qint32 kShellFailureLimit = 32;
}  // namespace

void ShowAbout() {
    frmHelp().showForm();
}

void ShowHelp() {
    // The same pages ship as HTML beside the compiled help: where no program takes the compiled
    // file, the browser shows them. A help file that cannot be opened is not reported.
    platform::Shell& shell = platform::shell();
    const QString compiled = platform::appFile(QStringLiteral("ZephyrDeck.chm"));
    if (shell.hasOpenerFor(compiled) && shell.openDocument(compiled))
        return;
    const QString pages = platform::appFile(QStringLiteral("help/index.html"));
    if (QFileInfo::exists(pages))
        shell.openDocument(pages);
}

void QuitProgram() {
    if (exitRoutineStarted())
        return;
    markExitRoutineStarted(true);
    if (startingUp()) {
        interruptStartUp();
        return;
    }
    runExitRoutine();
}

void runExitRoutine() {
    if (Form3* floating = loadedForm3())
        floating->hide();
    if (Dialog* options = loadedDialog())
        options->hide();
    unloadForm3();
    unloadDialog();
    unloadForm1();
    endProcess();
}

void OpenMovie() {
    form1().OpenFiles();
}

void ShowMainWindow() {
    Form1& main = form1();
    main.showForm();
    main.setWindowStateValue(Form::kNormal);
    // Loading the floating window only to hide it would show nothing and cost its load.
    if (Form3* floating = loadedForm3())
        floating->hide();
}

void HideMainWindow() {
    Form1& main = form1();
    if (main.isVisible())
        form3().showForm();
    main.hide();
}

void ShowFloatWindow() {
    form3().show();
}

void HideFloatWindow() {
    if (Form3* floating = loadedForm3())
        floating->hide();
}

void ShowOptionsWindow() {
    dialog().show();
    RemoveEmptyEntries();
}

void RaiseOptionsWindow() {
    Dialog& options = dialog();
    if (options.isHidden()) {
        options.show();
        RemoveEmptyEntries();
    }
    // Hidden and shown again, so it comes in front of the main window.
    options.hide();
    options.showForm();
    RemoveEmptyEntries();
}

void PlaySelectedEntry() {
    const PlayList& list = dialog().playList();
    // With no entry selected there is nothing to play; the current movie stays.
    if (list.selectedRow() < 0)
        return;
    form1().SwFlash->setMovie(list.selectedPath());
}

void RemoveSelectedEntry() {
    dialog().playList().removeSelected();
}

void RemoveEmptyEntries() {
    dialog().removeEmptyEntries();
}

void ShowEntryProperties() {
    const QString path = dialog().playList().selectedPath();
    const qint32 result = ShowFileProperties(path, &form2());
    if (result <= kShellFailureLimit)
        platform::messageBoxes().show(QStringLiteral("Error"), kProgramTitle, 0x30);
}

void BrowseCaptureFolder() {
    dialog().browseCaptureFolder();
}

qint32 ShowFileProperties(const QString& path, QWidget* owner) {
    return platform::shell().showFileProperties(path, owner);
}

void SaveLists() {
    dialog().saveLists();
}

}  // namespace zd
