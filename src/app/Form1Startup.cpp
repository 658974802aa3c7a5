// The start-up and shut-down steps of the main window.
#include <QCursor>
#include <algorithm>
#include <cmath>

#include "app/FlashControl.h"
#include "app/Functions.h"
#include "app/Gradient.h"
#include "app/Settings.h"
#include "app/Windows.h"
#include "controls/FlatScrollBar.h"
#include "options/Class1.h"
#include "options/Dialog.h"
#include "options/clsEx_Drag.h"
#include "platform/Services.h"
#include "player/Guanlian.h"
#include "player/PathRules.h"
#include "popups/FrmSplash.h"
#include "resources/Resources.h"
#include "window/CSystrayIcon.h"
#include "window/Form1.h"

namespace zd {

void Form1::formLoad() {
    // 1. The splash, for a moment; the load goes on once it has gone.
    {
        FrmSplash splash;
        splash.Main();
    }
    // 2. The hand pointer; the first reference to the options window loads it, hidden.
    Scroll->setCursor(res::handCursor());
    ImgCapture->setCursor(res::handCursor());
    dialog().ImgPath->setCursor(res::handCursor());
    // 3. Files dropped on the main panel.
    obj = std::make_unique<clsEx_Drag>();
    connect(obj.get(), &clsEx_Drag::GetFileName, this, &Form1::obj_GetFileName);
    obj->Start_SubClass(PicMove);
    // 4. The volume bar spans the speaker's range, halved.
    mixer = std::make_unique<Class1>();
    mixer->meOpenMixer();
    if (mixer->prMixerErr() == 0) {
        HScroll1->setMin(mixer->prSpeakerMinVolume());
        // A range wider than the bar's 16 bits (ALSA often reports 0..65536) is cut to fit.
        HScroll1->setMax(std::min<qint32>(mixer->prSpeakerMaxVolume() / 2, 32767));
        HScroll1->setSmallChange(1000);
        HScroll1->setLargeChange(1000);
        HScroll1->setValue(HScroll1->Max());
    }
    // 5.
    setLeftTwips(0);
    setTopTwips(0);
    // 6. The options window gets its native window without being shown.
    Dialog& options = dialog();
    options.winId();
    options.setLeftTwips(options.leftTwips() + 1);
    options.setLeftTwips(options.leftTwips() - 1);
    // 7., 8.
    RefScaleWidth = static_cast<qint32>(std::lround(scaleWidth()));
    RefScaleHeight = static_cast<qint32>(std::lround(scaleHeight()));
    writeLayoutTags();
    // 9.
    ImaListBar2->hide();
    // 10.
    for (QWidget* area : {static_cast<QWidget*>(Picture1), static_cast<QWidget*>(PicMove)}) {
        qint32 red = options.gradientRed();
        qint32 green = options.gradientGreen();
        qint32 blue = options.gradientBlue();
        PaintGradient(area, red, green, blue, options.gradientTopDown());
    }
    // 11.
    for (QWidget* image : {ImageOpen, ImageFullScreen, ImageOption, ImageResume}) {
        image->setCursor(res::handCursor());
    }
    // 12.
    Guanlian();
    // 13. The command line: the whole argument text is the movie, used unchanged.
    const QString commandLine = platform::commandLineText();
    SwFlash->setMovie(commandLine);
    options.List2->addItem(commandLine);
    options.List1->addItem(StripPath(commandLine));
    SaveLists();
    // 14. The screenshot counter.
    Text3->setText(settings::read(QStringLiteral("Myapp9"), QStringLiteral("Text3")));
}

void Form1::formQueryUnload() {
    // The tray icon goes with the window; a failure to remove it changes nothing here.
    if (SysIcon)
        SysIcon->HideIcon();
}

void Form1::formUnload() {
    settings::write(QStringLiteral("MyApp9"), QStringLiteral("Text3"), Text3->text());
    // Removed already by the query-unload unless that failed.
    if (SysIcon)
        SysIcon->HideIcon();
}

}  // namespace zd
