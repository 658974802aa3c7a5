#pragma once

#include <QString>

#include "controls/Twips.h"

namespace zd {

// Names a control after its window's table and puts it at its design rectangle (twips).
template <class T>
T* place(T* control, const char* name, const TwipRect& rect) {
    control->setObjectName(QString::fromLatin1(name));
    setTwipsGeometry(control, rect);
    return control;
}

}  // namespace zd
