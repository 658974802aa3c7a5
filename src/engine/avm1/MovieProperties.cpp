#include "engine/avm1/MovieProperties.h"

#include <string>

namespace zd::avm1 {

DisplayValue movieWideProperty(DisplayProperty p) {
    switch (p) {
        case DisplayProperty::HighQuality:
            return 1.0;
        case DisplayProperty::FocusRect:
            return true;
        case DisplayProperty::SoundBufTime:
            return 5.0;
        case DisplayProperty::Quality:
            return std::string("HIGH");
        case DisplayProperty::XMouse:
        case DisplayProperty::YMouse:
            return 0.0;
        default:
            return {};
    }
}

}  // namespace zd::avm1
