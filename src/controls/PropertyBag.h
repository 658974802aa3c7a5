#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace zd::controls {

// The stored properties of a control, as its container saves and restores them. A value equal
// to its default is not written, and reading a missing name gives the default back, so a saved
// form keeps only what differs from a newly placed control.
class PropertyBag {
  public:
    QVariant read(const QString& name, const QVariant& defaultValue) const;
    void write(const QString& name, const QVariant& value, const QVariant& defaultValue);

    bool contains(const QString& name) const;
    // Names in the order they were first written.
    QStringList names() const;

  private:
    QList<QPair<QString, QVariant>> entries_;
};

}  // namespace zd::controls
