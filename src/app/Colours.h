#pragma once

#include <QColor>
#include <QString>
#include <QtGlobal>
#include <optional>

// Colours as the program stores and passes them: 0x00BBGGRR values, red + 256 x green +
// 65536 x blue.
namespace zd::colours {

qint32 bgrValue(const QColor& colour);
// The colour of a value; only the low 24 bits count.
QColor fromBgr(quint32 value);
// The colour a stored decimal text names, or nullopt when it is no number or no such colour
// (below 0 or above 0xFFFFFF). The number is rounded to a whole one first.
std::optional<QColor> fromStoredText(const QString& text);

}  // namespace zd::colours
