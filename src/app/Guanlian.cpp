#include "app/Guanlian.h"

#include "platform/AppFolder.h"
#include "platform/DesktopAssociation.h"

namespace zd {

void Guanlian() {
    platform::registerSwfAssociation(platform::appFolder());
}

}  // namespace zd
