#include "app/PathRules.h"

#include <QRegularExpression>

namespace zd {

bool isWebAddress(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(text).hasMatch();
}

QString StripPath(const QString& path) {
    qsizetype last = path.lastIndexOf(QLatin1Char('\\'));
    if (!isWebAddress(path))
        last = std::max(last, path.lastIndexOf(QLatin1Char('/')));
    return last < 0 ? path : path.mid(last + 1);
}

}  // namespace zd
