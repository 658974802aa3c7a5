// The start-up and shut-down steps of the main window.
#include "program/Startup.h"

#include <QApplication>
#include <QPointer>
#include <algorithm>
#include <cmath>

#include "app/Class1.h"
#include "app/FlashControl.h"
#include "app/Guanlian.h"
#include "app/PathRules.h"
#include "app/clsEx_Drag.h"
#include "controls/FlatScrollBar.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "platform/Services.h"
#include "popups/FrmHelp.h"
#include "popups/FrmSplash.h"
#include "program/Functions.h"
#include "program/Program.h"
#include "program/Windows.h"
#include "resources/Resources.h"

namespace zd {

namespace {

// Ends what the start-up waits in: the splash, or a message box it shows (the mixer's).
void interruptWaits(FrmSplash* splash) {
    if (splash)
        splash->interrupt();
    if (QWidget* message = QApplication::activeModalWidget())
        message->close();
}

bool runSteps(Form1& main);

}  // namespace

void startUp(Form1& main) {
    markStartingUp(true);
    const bool completed = runSteps(main);
    markStartingUp(false);
    setStartUpInterruption(nullptr);
    // An exit asked for during the start-up: the windows go, the process ends, and nothing
    // the start-up did not read is written.
    if (!completed)
        runExitRoutine();
}

namespace {

bool runSteps(Form1& main) {
    // The splash shows the about window's picture for a moment; the start-up goes on once it
    // has gone.
    {
        FrmSplash splash;
        QPointer<FrmSplash> shown(&splash);
        setStartUpInterruption([shown] { interruptWaits(shown); });
        splash.Main(frmHelp().Picture1->picture());
        setStartUpInterruption([] { interruptWaits(nullptr); });
    }
    if (exitRoutineStarted())
        return false;
    // The hand pointer; the first reference to the options window loads it, hidden.
    main.Scroll->setCursor(res::handCursor());
    main.ImgCapture->setCursor(res::handCursor());
    Dialog& options = dialog();
    options.ImgPath->setCursor(res::handCursor());
    // Files dropped on the main panel, and on the movie above it, where users drop them too.
    main.obj = std::make_unique<clsEx_Drag>();
    QObject::connect(main.obj.get(), &clsEx_Drag::GetFileName, &main, &Form1::obj_GetFileName);
    main.obj->Start_SubClass(main.PicMove);
    main.movieDrop = std::make_unique<clsEx_Drag>();
    QObject::connect(main.movieDrop.get(), &clsEx_Drag::GetFileName, &main,
                     &Form1::obj_GetFileName);
    main.movieDrop->Start_SubClass(main.SwFlash);
    // The volume bar spans the speaker's range, halved.
    main.mixer = std::make_unique<Class1>();
    main.mixer->meOpenMixer();  // its message waits for the user
    if (exitRoutineStarted())
        return false;
    if (main.mixer->prMixerErr() == 0) {
        controls::FlatScrollBar* bar = main.HScroll1;
        bar->setMin(main.mixer->prSpeakerMinVolume());
        // A range wider than the bar's 16 bits (ALSA often reports 0..65536) is cut to fit.
        bar->setMax(std::min<qint32>(main.mixer->prSpeakerMaxVolume() / 2, 32767));
        const qint32 step =
            Class1::volumeStep(main.mixer->prSpeakerMinVolume(), main.mixer->prSpeakerMaxVolume());
        bar->setSmallChange(step);
        bar->setLargeChange(step);
        bar->setValue(bar->Max());
    }
    // The main window at the top-left corner of the screen.
    main.setLeftTwips(0);
    main.setTopTwips(0);
    // The options window gets its native window without being shown, moved there and back.
    options.winId();
    options.setLeftTwips(options.leftTwips() + 1);
    options.setLeftTwips(options.leftTwips() - 1);
    // The reference of the proportional layout, and every control's design geometry.
    main.RefScaleWidth = static_cast<qint32>(std::lround(main.scaleWidth()));
    main.RefScaleHeight = static_cast<qint32>(std::lround(main.scaleHeight()));
    main.writeLayoutTags();
    main.ImaListBar2->hide();
    main.paintSkin();
    for (QWidget* image :
         {main.ImageOpen, main.ImageFullScreen, main.ImageOption, main.ImageResume})
        image->setCursor(res::handCursor());
    // The program opens .swf movies on the desktop, rewritten at every start.
    Guanlian();
    // The command line: the whole argument text is the movie, used unchanged, and joins the
    // play list even when empty.
    const QString commandLine = platform::commandLineText();
    main.SwFlash->setMovie(commandLine);
    PlayList& list = options.playList();
    list.append(StripPath(commandLine), commandLine);
    options.saveLists();
    main.loadCounter();
    return true;
}

}  // namespace

void mainWindowQueryUnload(Form1& main) {
    main.removeTrayIcon();
}

void mainWindowUnload(Form1& main) {
    main.saveCounter();  // only once it was read
    // Removed already by the query-unload unless that failed.
    main.removeTrayIcon();
}

}  // namespace zd
