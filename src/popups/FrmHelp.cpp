#include "popups/FrmHelp.h"

#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd {

FrmHelp::FrmHelp() {
    setObjectName(QStringLiteral("FrmHelp"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("对话框标题"));
    setTwipsGeometry(this, {0, 0, 5805, 3990});
    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    setTwipsGeometry(Picture1, {350, 360, 5100, 3165});
    Picture1->setPicture(res::picture(QStringLiteral("about")));
}

void FrmHelp::formLoad() {
    const platform::ScreenMetrics screen = platform::screenMetrics();
    setLeftTwips((screen.widthTwips() - widthTwips()) / 2);
    setTopTwips((screen.heightTwips() - heightTwips()) / 2);
}

}  // namespace zd
