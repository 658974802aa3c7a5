#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QPoint>
#include <QString>

// The program's own artwork, embedded under ":/" (drawn by tools/artwork/make-artwork).
// Pixmaps, cursors and icons are GUI objects: call these only once a QGuiApplication (or
// QApplication) exists. Each returns a null object when the picture is missing.
namespace zd::res {

// Button faces 102 to 141, loaded by number (":/bitmaps/<id>.bmp").
QPixmap bitmap(int id);
QString bitmapPath(int id);

// Cursor resource 101, the hand pointer of the image buttons, with its hot spot on the
// tip of the index finger.
QCursor handCursor();
QPoint handCursorHotSpot();

// The program icon (48 x 48): windows, the tray and the floating window's picture.
QIcon programIcon();
QPixmap programIconPixmap();

// Window pictures by name (":/pictures/<name>.png"): "panel", "lock", "unlock",
// "options-title", "help-page", "advanced-skin", "about", "version".
QPixmap picture(const QString& name);

// The cell strips of the XP-style push button (five 18 x 21 cells side by side) and check box
// (twelve 16 x 16 cells stacked).
QPixmap xpButtonSkin();
QPixmap xpCheckBoxSkin();

}  // namespace zd::res
