#include "popups/Form2.h"

#include "app/Settings.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "platform/Services.h"

namespace zd {

Form2::Form2() {
    setObjectName(QStringLiteral("Form2"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("高级"));
    setTwipsGeometry(this, {0, 0, 3135, 3540});
    Picture1 = new PictureBox(this);
    setTwipsGeometry(Picture1, {0, 0, 3135, 3615});
    Label1 = new LabelControl(Picture1);
    Label1->setText(QStringLiteral("245"));
    setTwipsGeometry(Label1, {2400, 1440, 495, 255});
    Label2 = new LabelControl(Picture1);
    Label2->hide();
    Label3 = new LabelControl(Picture1);
    setTwipsGeometry(Label3, {1800, 600, 855, 255});
}

void Form2::formLoad() {
    Label1->setText(settings::read(QStringLiteral("Myapp6"), QStringLiteral("label1")));
    Label2->setText(settings::read(QStringLiteral("Myapp7"), QStringLiteral("label2")));
    const platform::ScreenMetrics screen = platform::screenMetrics();
    setLeftTwips(screen.widthTwips() - widthTwips() - 2400);
    setTopTwips(1500);
    dialog().hide();
}

void Form2::formUnload() {}

}  // namespace zd
