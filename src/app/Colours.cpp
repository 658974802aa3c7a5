#include "app/Colours.h"

#include "app/Settings.h"

namespace zd::colours {

qint32 bgrValue(const QColor& colour) {
    return colour.red() + 256 * colour.green() + 65536 * colour.blue();
}

QColor fromBgr(quint32 value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::optional<QColor> fromStoredText(const QString& text) {
    const std::optional<qint32> value = settings::wholeNumber(text);
    if (!value || *value < 0 || *value > 0xFFFFFF)
        return std::nullopt;
    return fromBgr(static_cast<quint32>(*value));
}

}  // namespace zd::colours
