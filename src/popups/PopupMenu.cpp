#include "popups/PopupMenu.h"

namespace zd {

PopupMenuForm::PopupMenuForm(Kind kind) : kind_(kind) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
}

}  // namespace zd
