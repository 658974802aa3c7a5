// The play list page of the options window: the two views of the play list, its mouse handling
// and its buttons.
#include <QMetaObject>

#include "app/FlashControl.h"
#include "app/MenuItems.h"
#include "app/MenuLink.h"
#include "app/PlayerLink.h"
#include "controls/ClassicEvents.h"
#include "controls/FocusWait.h"
#include "controls/MouseEventSource.h"
#include "controls/xpcmdbutton.h"
#include "options/Dialog.h"
#include "options/OptionRules.h"
#include "platform/Services.h"

namespace zd {

void Dialog::connectPlayList() {
    connect(List1->events(), &MouseEventSource::mouseDown, this, &Dialog::List1_MouseDown);
    connect(List1->events(), &MouseEventSource::mouseMove, this, &Dialog::List1_MouseMove);
    connect(List1->events(), &MouseEventSource::mouseUp, this, &Dialog::List1_MouseUp);
    connect(List1->events(), &MouseEventSource::dblClick, this, &Dialog::List1_DblClick);
    connect(ComPlay, &controls::xpcmdbutton::Click, this, &Dialog::ComPlay_Click);
    connect(ComDelete, &controls::xpcmdbutton::Click, this, &Dialog::ComDelete_Click);
    connect(ComOk, &controls::xpcmdbutton::Click, this, &Dialog::ComOk_Click);

    connect(&playList_, &QAbstractItemModel::rowsInserted, this, &Dialog::scheduleDuplicatePass);
    connect(&playList_, &PlayList::saved, this, [this](int count) {
        Text5->setText(QString::number(count));
        Text6->setText(QString::number(count));
    });
}

void Dialog::scheduleDuplicatePass() {
    if (duplicatePassPending_)
        return;
    duplicatePassPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            duplicatePassPending_ = false;
            removeDuplicatePairs();
        },
        Qt::QueuedConnection);
}

void Dialog::removeDuplicatePairs() {
    playList_.removeDuplicates();
}

int Dialog::rowUnderMouse(double yTwips, int firstVisible) const {
    const int rowHeight =
        List1->listCount() > 0 ? List1->sizeHintForRow(0) : List1->fontMetrics().height();
    return options::rowUnderPoint(toPixelsY(yTwips), rowHeight, firstVisible);
}

void Dialog::List1_MouseDown(int, int, double, double y) {
    // The preview shows, halted, the entry selected before this press.
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
    const QStringList items = menuitems::playList();
    if (List1->text().isEmpty())
        return;
    if (button != kRightButton)
        return;
    // The menu closes when the focus leaves it and its owner: the list must hold the focus.
    WaitForFocus(List1);
    menus_.showMenu(MenuLink::Menu::PlayList, this, items, leftTwips() + x + 300,
                    topTwips() + y + 1000, menuitems::kMenuWidth);
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

void Dialog::List1_DblClick() {
    player_.movie().setMovie(List2->text());
}

void Dialog::ComPlay_Click() {
    if (List1->listCount() >= 1)
        player_.movie().setMovie(List2->text());
    else
        player_.openMovieFile();
    hideForm6();
}

void Dialog::ComDelete_Click() {
    // The files keep the old list until the next save.
    playList_.clear();
    Text5->setText(QStringLiteral("0"));
    Text6->setText(QStringLiteral("0"));
    hideForm6();
    platform::playAppSound(QStringLiteral("sound/recycle.wav"));
}

void Dialog::ComOk_Click() {
    saveLists();
    hide();
    hideForm6();
    platform::playAppSound(QStringLiteral("sound/ok.wav"));
}

}  // namespace zd
