#pragma once

#include <QString>

// The floating drop window's rules that need no widget: where it goes and its tooltip while a
// movie loads.
namespace zd::floating {

// The window's opacity, of 255; not a setting.
inline constexpr int kOpacity = 170;

// The picture's tooltip when no load is being followed.
QString dropTip();

// The left edge for a screen `screenWidthTwips` wide: the width rounded to whole twips (halves
// to even), then halved by integer division.
double windowLeft(double screenWidthTwips);

// The tooltip while loading: the percentage followed by "%".
QString progressTip(qint32 percent);

}  // namespace zd::floating
