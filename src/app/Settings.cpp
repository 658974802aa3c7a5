#include "app/Settings.h"

#include "platform/AppFolder.h"
#include "platform/ProfileFile.h"

#include <cmath>

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

}  // namespace zd::settings
