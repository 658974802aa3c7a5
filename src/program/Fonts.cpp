#include "program/Fonts.h"

#include <QFont>
#include <QStringList>

namespace zd {

void installFontSubstitutes() {
    // 宋体 is a Song face: AR PL UMing (fonts-arphic-uming) is one, Noto Serif CJK another; a
    // sans-serif face only where neither is installed.
    const QStringList song = {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                              QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans")};
    for (const char* family : {"宋体", "宋体-18030", "SimSun"})
        QFont::insertSubstitutions(QString::fromUtf8(family), song);
    const QStringList gothic = {QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Sans")};
    for (const char* family : {"@MS UI Gothic", "MS UI Gothic"})
        QFont::insertSubstitutions(QString::fromUtf8(family), gothic);
}

}  // namespace zd
