#include "app/Settings.h"

#include <cmath>
#include <limits>

#include "platform/AppFolder.h"
#include "platform/ProfileFile.h"

namespace zd::settings {

QString filePath() {
    return platform::appFile(QStringLiteral("Settings.Tov"));
}

QString read(const QString& section, const QString& key) {
    return platform::getProfileString(filePath(), section, key, key);
}

bool write(const QString& section, const QString& key, const QString& value) {
    return platform::writeProfileString(filePath(), section, key, value);
}

std::optional<double> number(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint32> wholeNumber(const QString& text) {
    const std::optional<double> value = number(text);
    if (!value)
        return std::nullopt;
    const double rounded = std::nearbyint(*value);  // the default rounding: halves to even
    if (rounded < std::numeric_limits<qint32>::min() ||
        rounded > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(rounded);
}

std::optional<qint32> integer(const QString& text) {
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

}  // namespace zd::settings
