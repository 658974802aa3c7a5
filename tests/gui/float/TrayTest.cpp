// The tray icon: the icon record's rules against a faked notification area, and the main
// window's tray button and icon messages through the real windows offscreen.
#include <QSignalSpy>

#include "FloatFixture.h"
#include "mainwindow/CSystrayIcon.h"
#include "mainwindow/Form1.h"
#include "popups/Form3.h"
#include "popups/PopupMenu.h"
#include "program/Functions.h"

using namespace zd;
using platform::SystemTray;
using testing::FloatFixture;

namespace {

QString tipOf(const QString& text) {
    return CSystrayIcon::tipField(text).left(CSystrayIcon::kTipLength);
}

int countOf(const std::vector<platform::FakeSystemTray::Request>& requests,
            SystemTray::Command command) {
    return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                          [&](const auto& r) { return r.command == command; }));
}

}  // namespace

class TrayTest : public QObject {
    Q_OBJECT
    FloatFixture f;
    QWidget owner;

    platform::FakeSystemTray& tray() { return f.fake->tray; }

    std::unique_ptr<CSystrayIcon> initialized(const QString& tip = QStringLiteral("ZephyrDeck")) {
        auto icon = std::make_unique<CSystrayIcon>();
        icon->Initialize(&owner, res::programIcon(), tip, 512);
        return icon;
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void initializeFillsTheRecordAndAsksNothing() {
        CSystrayIcon icon;
        QCOMPARE(icon.Initialize(&owner, QIcon(), QStringLiteral("ZephyrDeck"), 512), 0);
        QCOMPARE(icon.cbSize(), 88u);
        QCOMPARE(icon.hWnd(), &owner);
        QCOMPARE(icon.uID(), 1u);
        QCOMPARE(icon.uFlags(), 7u);
        QCOMPARE(icon.CallbackMessage(), 512u);
        QVERIFY(!icon.Visible());
        QVERIFY(icon.UpdateOnChange());
        // The fixed field read back: the text, its NUL and the fill blanks, 63 in all.
        QCOMPARE(icon.TipText(), QStringLiteral("ZephyrDeck") + QChar(u'\0') + QString(52, ' '));
        QCOMPARE(icon.tipShown(), QStringLiteral("ZephyrDeck"));
        QVERIFY(tray().requests.empty());
    }

    void aLongTipIsCutTo63Characters() {
        const QString seventy = QString(60, 'a') + QStringLiteral("bcdefghijk");
        auto icon = initialized(seventy);
        QCOMPARE(icon->TipText(), seventy.left(63));
        QVERIFY(icon->ShowIcon());
        QCOMPARE(tray().icon(&owner)->tip, seventy.left(63));
        icon->setTipText(seventy + seventy);
        QCOMPARE(tray().icon(&owner)->tip, seventy.left(63));
        // Exactly 63 keeps every character; the NUL is the 64th.
        icon->setTipText(seventy.left(63));
        QCOMPARE(icon->TipText(), seventy.left(63));
    }

    void showingTwiceAddsOnceHidingTwiceRemovesOnce() {
        auto icon = initialized();
        QVERIFY(icon->ShowIcon());
        QVERIFY(!icon->ShowIcon());
        QVERIFY(icon->Visible());
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Add), 1);
        const platform::TrayIconData* shown = tray().icon(&owner);
        QVERIFY(shown);
        QCOMPARE(shown->tip, QStringLiteral("ZephyrDeck"));
        QCOMPARE(shown->fields, 7u);
        QCOMPARE(shown->callbackMessage, 512u);

        QVERIFY(icon->HideIcon());
        QVERIFY(!icon->HideIcon());
        QVERIFY(!icon->Visible());
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Delete), 1);
        QVERIFY(tray().icons.empty());

        icon->setVisible(true);
        QVERIFY(icon->Visible());
        icon->setVisible(false);
        QVERIFY(tray().icons.empty());
    }

    void withoutUpdateOnChangeANewTipChangesOnlyTheRecord() {
        auto icon = initialized();
        QVERIFY(icon->ShowIcon());
        icon->setUpdateOnChange(false);
        icon->setTipText(QStringLiteral("later"));
        icon->setCallbackMessage(1024);
        QCOMPARE(icon->TipText(), tipOf(QStringLiteral("later")));
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Modify), 0);
        QCOMPARE(tray().icon(&owner)->tip, QStringLiteral("ZephyrDeck"));
        // The next update sends the whole record.
        QVERIFY(icon->Update());
        QCOMPARE(tray().requests.back().data.fields, 7u);
        QCOMPARE(tray().icon(&owner)->tip, QStringLiteral("later"));
        QCOMPARE(tray().icon(&owner)->callbackMessage, 1024u);
    }

    void withUpdateOnChangeEachSetterSendsItsOwnField() {
        auto icon = initialized();
        // Not in the tray yet: only the record changes.
        icon->setTipText(QStringLiteral("before"));
        QVERIFY(!icon->Update());
        QVERIFY(tray().requests.empty());
        QVERIFY(icon->ShowIcon());
        QCOMPARE(tray().icon(&owner)->tip, QStringLiteral("before"));

        icon->setTipText(QStringLiteral("tip"));
        QCOMPARE(tray().requests.back().command, SystemTray::Command::Modify);
        QCOMPARE(tray().requests.back().data.fields, 4u);
        icon->setIconHandle(QIcon());
        QCOMPARE(tray().requests.back().data.fields, 2u);
        icon->setCallbackMessage(700);
        QCOMPARE(tray().requests.back().data.fields, 1u);
        QCOMPARE(icon->uFlags(), 7u);
        QCOMPARE(tray().icon(&owner)->tip, QStringLiteral("tip"));
        QCOMPARE(tray().icon(&owner)->callbackMessage, 700u);
    }

    void aFailingTrayRaisesNIErrorAndLeavesTheVisibleFlag() {
        auto icon = initialized();
        QSignalSpy errors(icon.get(), &CSystrayIcon::NIError);
        tray().available = false;
        QVERIFY(!icon->ShowIcon());
        QVERIFY(!icon->Visible());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), int(platform::kTrayUnavailable));

        tray().available = true;
        QVERIFY(icon->ShowIcon());
        tray().failNext = 42;
        QVERIFY(!icon->Update());
        tray().failNext = 43;
        QVERIFY(!icon->HideIcon());
        QVERIFY(icon->Visible());
        QCOMPARE(errors.size(), 3);
        QCOMPARE(errors.at(2).at(0).toInt(), 43);
        QVERIFY(icon->HideIcon());
    }

    void droppingTheObjectRemovesItsIcon() {
        auto icon = initialized();
        QVERIFY(icon->ShowIcon());
        icon.reset();
        QVERIFY(tray().icons.empty());
        // An icon never shown asks nothing when dropped.
        const std::size_t asked = tray().requests.size();
        initialized().reset();
        QCOMPARE(tray().requests.size(), asked);
    }

    void theTrayButtonShowsTheFloatingWindowPutsTheIconAndHidesTheMainWindow() {
        Form1& main = form1();
        main.show();
        f.click(main.ImageTray);
        QVERIFY(main.isHidden());
        QVERIFY(loadedForm3() && form3().isVisible());
        const platform::TrayIconData* shown = tray().icon(&main);
        QVERIFY(shown);
        QCOMPARE(shown->tip, QStringLiteral("ZephyrDeck"));
        QCOMPARE(shown->callbackMessage, 512u);
        QCOMPARE(shown->fields, 7u);
        QVERIFY(!shown->icon.isNull());
        QVERIFY(main.SysIcon && main.SysIcon->Visible());

        // Back, and to the tray again: a new icon replaces the old one.
        main.show();
        f.click(main.ImageTray);
        QCOMPARE(tray().icons.size(), std::size_t(1));
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Add), 2);
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Delete), 1);
    }

    void aLeftClickOnTheIconBringsTheMainWindowBack() {
        Form1& main = form1();
        main.show();
        f.click(main.ImageTray);
        tray().mouse(&main, platform::kTrayLeftButtonDown);
        QTRY_VERIFY(main.isVisible());
        QVERIFY(form3().isHidden());
        QVERIFY(tray().icon(&main));  // the icon stays
        // Also while the main window is up: shown again, the floating window hidden.
        form3().show();
        tray().mouse(&main, platform::kTrayLeftButtonDown);
        QTRY_VERIFY(form3().isHidden());
        QVERIFY(main.isVisible());
    }

    void aLeftClickOnTheIconAlsoUndoesAMinimise() {
        Form1& main = form1();
        main.show();
        f.click(main.ImageMin);
        QCOMPARE(main.windowStateValue(), int(Form::kMinimized));
        f.click(main.ImageTray);
        tray().mouse(&main, platform::kTrayLeftButtonDown);
        QTRY_VERIFY(main.isVisible());
        QCOMPARE(main.windowStateValue(), int(Form::kNormal));
        QVERIFY(!main.isMinimized());
        // Minimised without the tray button: the click brings it back all the same.
        f.click(main.ImageMin);
        tray().mouse(&main, platform::kTrayLeftButtonDown);
        QTRY_COMPARE(main.windowStateValue(), int(Form::kNormal));
    }

    void aRightReleaseOnTheIconOpensTheFloatingMenuByTheScreenSize() {
        Form1& main = form1();
        main.show();
        f.click(main.ImageTray);
        const qsizetype sounds = f.fake->sound.played.size();
        tray().mouse(&main, platform::kTrayRightButtonUp);
        QTRY_VERIFY(loadedForm5() && form5().isVisible());
        QCOMPARE(form5().leftTwips(), 1024 / 0.08);
        QCOMPARE(form5().topTwips(), 768 / 0.109);
        QCOMPARE(form5().owner(), &main);
        QCOMPARE(form5().menu[8]->caption(), QStringLiteral("显示悬浮窗口"));
        QCOMPARE(f.fake->sound.played.size(), sounds + 1);
        QCOMPARE(f.fake->sound.played.last(), platform::appFile("sound/menu.wav"));
        // The menu's first item brings the main window back.
        f.mouse(form5().menu[0], QEvent::MouseButtonRelease, QPoint(2, 2), Qt::LeftButton,
                Qt::NoButton);
        QVERIFY(main.isVisible());
        QVERIFY(form3().isHidden());
    }

    void otherIconMessagesAndMouseMovesOverTheWindowDoNothing() {
        Form1& main = form1();
        main.resize(700, 500);
        main.show();
        // A real mouse at pixel columns 513 and 517 of the window is no tray click.
        for (int x : {513, 517}) {
            for (QWidget* part : {static_cast<QWidget*>(&main), static_cast<QWidget*>(main.PicMove),
                                  static_cast<QWidget*>(main.Picture1)}) {
                f.hover(part, QPoint(x, 5));
                f.hover(part, QPoint(x, 5), Qt::LeftButton);
            }
        }
        f.click(main.ImageTray);
        tray().mouse(&main, platform::kTrayLeftButtonDoubleClick);
        tray().mouse(&main, platform::kTrayMiddleButtonDown);
        // Another callback message is not the icon's.
        platform::postTrayMessage(&main, 1024, platform::kTrayLeftButtonDown);
        f.settle();
        QVERIFY(main.isHidden());
        QVERIFY(loadedForm5() == nullptr);
    }

    void withoutATrayTheFloatingWindowIsTheWayBack() {
        tray().available = false;
        Form1& main = form1();
        main.show();
        f.click(main.ImageTray);
        QVERIFY(tray().icons.empty());
        QVERIFY(!main.SysIcon->Visible());
        QVERIFY(main.isHidden());
        QVERIFY(form3().isVisible());
        f.mouse(form3().Image1, QEvent::MouseButtonDblClick, QPoint(5, 5), Qt::LeftButton,
                Qt::LeftButton);
        QVERIFY(main.isVisible());
    }

    void leavingTheProgramRemovesTheIcon() {
        Form1& main = form1();
        main.show();
        f.click(main.ImageTray);
        QuitProgram();
        QVERIFY(tray().icons.empty());
        // The unload's second removal finds it gone and asks nothing.
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Delete), 1);
        QCOMPARE(f.processEnds, 1);
    }

    void aRemovalRefusedAtQueryUnloadIsTriedAgainAtUnload() {
        Form1& main = form1();
        main.show();
        f.click(main.ImageTray);
        tray().failNext = 5;
        QuitProgram();
        QVERIFY(tray().icons.empty());
        QCOMPARE(countOf(tray().requests, SystemTray::Command::Delete), 2);
        QCOMPARE(f.processEnds, 1);
    }

    void leavingWithoutATrayIconAsksNothing() {
        form1();
        QuitProgram();
        QVERIFY(tray().requests.empty());
        QCOMPARE(f.processEnds, 1);
    }
};

QTEST_MAIN(TrayTest)
#include "TrayTest.moc"
