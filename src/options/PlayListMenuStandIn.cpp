#include "options/PlayListMenuStandIn.h"

#include <QMenu>
#include <QPointer>

#include "app/Functions.h"
#include "app/Twips.h"
#include "platform/Services.h"

namespace zd::playlistmenu {

namespace {

QPointer<QMenu> menu;

void runItem(int index) {
    // The menu goes before its action runs, as when an item is clicked.
    if (menu)
        menu->close();
    switch (index) {
        case 0:
            PlaySelectedEntry();
            break;
        case 2:
            RemoveSelectedEntry();
            platform::playAppSound(QStringLiteral("sound/recycle.wav"));
            break;
        case 4:
            ShowEntryProperties();
            break;
        default:
            break;
    }
}

}  // namespace

void show(QWidget* owner, const QStringList& items, double left, double top, double width) {
    hide();
    auto* popup = new QMenu(owner);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    for (int i = 0; i < items.size(); ++i) {
        if (items.at(i) == QLatin1String("-")) {
            popup->addSeparator();
            continue;
        }
        QAction* action = popup->addAction(items.at(i));
        QObject::connect(action, &QAction::triggered, popup, [i] { runItem(i); });
    }
    popup->setMinimumWidth(toPixelsX(width));
    menu = popup;
    popup->popup(QPoint(toPixelsX(left), toPixelsY(top)));
}

void hide() {
    if (menu)
        menu->close();
}

QMenu* current() {
    return menu && menu->isVisible() ? menu.data() : nullptr;
}

}  // namespace zd::playlistmenu
