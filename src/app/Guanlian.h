#pragma once

namespace zd {

// Registers the program as the opener of .swf movies on the desktop, at every start.
void Guanlian();

}  // namespace zd
