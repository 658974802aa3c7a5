#pragma once

namespace zd {

// The windows name the classic Chinese faces; the desktop's stand-ins for them: a Song (Ming)
// face for 宋体, a sans-serif for the menus' banner face.
void installFontSubstitutes();

}  // namespace zd
