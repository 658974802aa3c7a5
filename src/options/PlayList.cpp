// The play list page of the options window: List1 (names) and List2 (full paths), paired by
// position.
#include <QScrollBar>

#include "app/FlashControl.h"
#include "app/Functions.h"
#include "app/Windows.h"
#include "controls/xpcmdbutton.h"
#include "options/Dialog.h"
#include "options/OptionRules.h"
#include "platform/Services.h"
#include "popups/MenuGeometry.h"
#include "popups/PopupMenu.h"
#include "window/Form1.h"

namespace zd {

void Dialog::connectPlayList() {
    connect(List1->events(), &MouseEventSource::mouseDown, this, &Dialog::List1_MouseDown);
    connect(List1->events(), &MouseEventSource::mouseMove, this, &Dialog::List1_MouseMove);
    connect(List1->events(), &MouseEventSource::mouseUp, this, &Dialog::List1_MouseUp);
    connect(List1->events(), &MouseEventSource::dblClick, this, &Dialog::List1_DblClick);
    connect(ComPlay, &controls::xpcmdbutton::Click, this, &Dialog::ComPlay_Click);
    connect(ComDelete, &controls::xpcmdbutton::Click, this, &Dialog::ComDelete_Click);
    connect(ComOk, &controls::xpcmdbutton::Click, this, &Dialog::ComOk_Click);

    for (ListBox* list : {List1, List2}) {
        QAbstractItemModel* model = list->model();
        connect(model, &QAbstractItemModel::rowsInserted, this, &Dialog::scheduleListUpkeep);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &Dialog::scheduleListUpkeep);
        connect(model, &QAbstractItemModel::modelReset, this, &Dialog::scheduleListUpkeep);
        connect(list, &QListWidget::currentRowChanged, this, &Dialog::scheduleFollow);
    }
    connect(List1->verticalScrollBar(), &QScrollBar::valueChanged, this, &Dialog::scheduleFollow);
}

void Dialog::scheduleListUpkeep() {
    if (!duplicatePassPending_) {
        duplicatePassPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                duplicatePassPending_ = false;
                removeDuplicatePairs();
            },
            Qt::QueuedConnection);
    }
    scheduleFollow();
}

void Dialog::scheduleFollow() {
    if (followPending_)
        return;
    followPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            followPending_ = false;
            followList1();
        },
        Qt::QueuedConnection);
}

void Dialog::removeDuplicatePairs() {
    options::removeDuplicatePaths(*List1, *List2);
}

void Dialog::followList1() {
    const int top = List1->topIndex();
    if (rememberedTopIndex.value_or(0) != top) {
        List2->setTopIndex(top);
        rememberedTopIndex = top;
    }
    if (List1->listIndex() != List2->listIndex())
        List2->setListIndex(List1->listIndex());
}

int Dialog::rowUnderMouse(double yTwips, int firstVisible) const {
    const int rowHeight =
        List1->listCount() > 0 ? List1->sizeHintForRow(0) : List1->fontMetrics().height();
    return options::rowUnderPoint(toPixelsY(yTwips), rowHeight, firstVisible);
}

void Dialog::List1_MouseDown(int, int, double, double y) {
    // The preview shows, halted, the entry List2 holds now: the one selected before this press.
    SFlash2->setMovie(List2->text());
    SFlash2->setPlaying(false);
    // Any button selects the entry under the mouse, the right one included.
    const int row = rowUnderMouse(y, List1->topIndex());
    if (row >= 0 && row < List1->listCount())
        List1->setListIndex(row);
    hideForm6();
}

void Dialog::List1_MouseMove(int, int, double, double y) {
    const int row = rowUnderMouse(y, List2->topIndex());
    if (row >= 0 && row < List1->listCount())
        List1->setToolTip(List2->list(row));
    else
        List1->setToolTip(QString());
}

void Dialog::List1_MouseUp(int button, int, double x, double y) {
    const QStringList items = playListMenuItems();
    if (List1->text().isEmpty())
        return;
    if (button != kRightButton)
        return;
    // The menu closes when the focus leaves it and its owner: the list must hold the focus.
    WaitForFocus(List1);
    ShowPopupMenu(form6(), this, items, leftTwips() + x + 300, topTwips() + y + 1000,
                  menu::kStandardWidth);
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

void Dialog::List1_DblClick() {
    form1().SwFlash->setMovie(List2->text());
}

void Dialog::ComPlay_Click() {
    if (List1->listCount() >= 1)
        form1().SwFlash->setMovie(List2->text());
    else
        form1().OpenFiles();
    hideForm6();
}

void Dialog::ComDelete_Click() {
    // The files keep the old list until the next save.
    List1->clearList();
    List2->clearList();
    Text5->setText(QStringLiteral("0"));
    Text6->setText(QStringLiteral("0"));
    hideForm6();
    platform::playAppSound(QStringLiteral("sound/recycle.wav"));
}

void Dialog::ComOk_Click() {
    SaveLists();
    hide();
    hideForm6();
    platform::playAppSound(QStringLiteral("sound/ok.wav"));
}

}  // namespace zd
