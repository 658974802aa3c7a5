#include "app/Functions.h"

#include "app/Program.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "player/ListFiles.h"
#include "popups/Form3.h"
#include "window/Form1.h"

namespace zd {

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

void RemoveSelectedEntry() {
    Dialog& options = dialog();
    options.List1->removeItem(options.List1->listIndex());
    options.List2->removeItem(options.List2->listIndex());
}

void RemoveEmptyEntries() {
    Dialog& options = dialog();
    options.removeEmptyEntriesPass();
    options.List1->setListIndex(0);
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
