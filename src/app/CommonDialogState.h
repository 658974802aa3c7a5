#pragma once

#include <QColor>
#include <QString>

namespace zd {

// What the shared common dialog remembers between uses: the file chosen last, the colour.
struct CommonDialogState {
    QString FileName;
    QString FileTitle;
    QColor Color = Qt::black;
    int Flags = 0;
};

}  // namespace zd
