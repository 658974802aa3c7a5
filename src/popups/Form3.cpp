#include "popups/Form3.h"

namespace zd {

Form3::Form3() {
    setObjectName(QStringLiteral("Form3"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    setTwipsGeometry(this, {0, 0, 735, 750});
}

void Form3::formLoad() {}

}  // namespace zd
