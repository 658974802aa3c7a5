#include "controls/PropertyBag.h"

namespace zd::controls {

QVariant PropertyBag::read(const QString& name, const QVariant& defaultValue) const {
    for (const auto& entry : entries_) {
        if (entry.first == name) {
            return entry.second;
        }
    }
    return defaultValue;
}

void PropertyBag::write(const QString& name, const QVariant& value, const QVariant& defaultValue) {
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (entries_.at(i).first == name) {
            entries_.removeAt(i);
            break;
        }
    }
    if (value != defaultValue) {
        entries_.append({name, value});
    }
}

bool PropertyBag::contains(const QString& name) const {
    for (const auto& entry : entries_) {
        if (entry.first == name) {
            return true;
        }
    }
    return false;
}

QStringList PropertyBag::names() const {
    QStringList out;
    for (const auto& entry : entries_) {
        out.append(entry.first);
    }
    return out;
}

}  // namespace zd::controls
