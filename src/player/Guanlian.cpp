#include "player/Guanlian.h"

namespace zd {

// The desktop registration arrives with the file-association work; start-up already calls it.
void Guanlian() {}

}  // namespace zd
