#include "app/Functions.h"

#include "app/FlashControl.h"
#include "app/Program.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "platform/AppFolder.h"
#include "platform/Services.h"
#include "player/ListFiles.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "popups/FrmHelp.h"
#include "window/Form1.h"

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
    // A help file that cannot be opened is not reported.
    platform::shell().openDocument(platform::appFile(QStringLiteral("ZephyrDeck.chm")));
}

void QuitProgram() {
    if (exitRoutineStarted())
        return;
    markExitRoutineStarted(true);
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
    const Dialog& options = dialog();
    // With no entry selected there is nothing to play; the current movie stays.
    if (options.List2->listIndex() < 0)
        return;
    form1().SwFlash->setMovie(options.List2->text());
}

void RemoveSelectedEntry() {
    Dialog& options = dialog();
    options.List1->removeItem(options.List1->listIndex());
    options.List2->removeItem(options.List2->listIndex());
}

void RemoveEmptyEntries() {
    Dialog& options = dialog();
    const int count = options.List1->listCount();
    // The pass goes on with the next position after a removal, so of two empty entries in a
    // row the second stays for the next pass. A position past the end is not selected: the
    // selection stays where it was, and after a removal that is no entry at all.
    for (int i = 0; i <= count; ++i) {
        options.List1->setListIndex(i);
        options.List2->setListIndex(i);
        if (options.List1->text().isEmpty())
            RemoveSelectedEntry();
    }
    options.List1->setListIndex(0);
}

void ShowEntryProperties() {
    const QString path = dialog().List2->text();
    const qint32 result = ShowFileProperties(path, &form2());
    if (result <= kShellFailureLimit)
        platform::messageBoxes().show(QStringLiteral("Error"), kProgramTitle, 0x30);
}

void BrowseCaptureFolder() {
    Dialog& options = dialog();
    std::optional<QString> folder =
        platform::commonDialogs().browseForFolder(&options, QStringLiteral("抓图将被保存到："));
    if (!folder)
        return;
    const qsizetype end = folder->indexOf(QChar(u'\0'));
    if (end >= 0)
        folder->truncate(end);
    options.TxtPath->setText(*folder);
    options.Text8->setText(options.TxtPath->text());
}

qint32 ShowFileProperties(const QString& path, QWidget* owner) {
    return platform::shell().showFileProperties(path, owner);
}

void SaveLists() {
    Dialog& options = dialog();
    QStringList names;
    for (int i = 0; i < options.List1->listCount(); ++i)
        names << options.List1->list(i);
    QStringList paths;
    for (int i = 0; i < options.List2->listCount(); ++i)
        paths << options.List2->list(i);
    listfiles::writeListFile(listfiles::namesFilePath(), QStringLiteral("List1"), names);
    options.Text5->setText(QString::number(names.size()));
    listfiles::writeListFile(listfiles::pathsFilePath(), QStringLiteral("List2"), paths);
    options.Text6->setText(QString::number(paths.size()));
}

}  // namespace zd
