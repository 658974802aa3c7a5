#pragma once

#include <QStringList>

// The item lists the windows pass to the skinned popup menus ("-" a separator line) and the
// width every caller gives them.
namespace zd::menuitems {

// Twips.
inline constexpr double kMenuWidth = 1950;

// The main window's panel: 9 entries.
QStringList panel();
// The tray icon and the floating window: 15 entries.
QStringList floating();
// The play list: 5 entries.
QStringList playList();

}  // namespace zd::menuitems
