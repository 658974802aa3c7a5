#pragma once

#include <QStringList>

class QMenu;
class QWidget;

// The play list's right-button menu, for now a plain menu with the items and actions of the
// skinned play-list menu window; it lives here alone so that window can take its place.
namespace zd::playlistmenu {

// Shows the menu at `left`, `top` (screen twips), at least `width` twips wide. `items` are the
// texts by index ("-" a separator); index 0 plays the selected entry, 2 removes it (then the
// recycle sound), 4 opens its properties.
void show(QWidget* owner, const QStringList& items, double left, double top, double width);
void hide();
// The menu while it is open, otherwise nullptr.
QMenu* current();

}  // namespace zd::playlistmenu
