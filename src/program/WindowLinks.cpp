#include "program/WindowLinks.h"

#include "app/FlashControl.h"
#include "app/Gradient.h"
#include "app/Preferences.h"
#include "controls/FlatScrollBar.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "popups/PopupMenu.h"
#include "program/Functions.h"
#include "program/Windows.h"

namespace zd {

namespace {

PopupMenuForm& menuWindow(MenuLink::Menu menu) {
    switch (menu) {
        case MenuLink::Menu::Panel:
            return form4();
        case MenuLink::Menu::Floating:
            return form5();
        case MenuLink::Menu::PlayList:
            break;
    }
    return form6();
}

PopupMenuForm* loadedMenuWindow(MenuLink::Menu menu) {
    switch (menu) {
        case MenuLink::Menu::Panel:
            return loadedForm4();
        case MenuLink::Menu::Floating:
            return loadedForm5();
        case MenuLink::Menu::PlayList:
            break;
    }
    return loadedForm6();
}

}  // namespace

WindowLinks& windowLinks() {
    static WindowLinks links;
    return links;
}

FlashControl& WindowLinks::movie() {
    return *form1().SwFlash;
}

void WindowLinks::openMovieFile() {
    form1().OpenFiles();
}

void WindowLinks::showFrameOnSeekBar(qint16 frame) {
    form1().Scroll->setValue(frame);
}

void WindowLinks::bringPlayerBack() {
    Form1& main = form1();
    main.setWindowStateValue(Form::kNormal);
    main.showForm();
}

void WindowLinks::previewSkin(const SkinColours& colours) {
    form1().previewSkin(colours);
}

MovieList& WindowLinks::playList() {
    return dialog().playList();
}

QString WindowLinks::address() {
    return dialog().TxtURL->text();
}

void WindowLinks::setAddress(const QString& text) {
    dialog().TxtURL->setText(text);
}

QString WindowLinks::captureFolder() {
    return dialog().TxtPath->text();
}

void WindowLinks::askForCaptureFolder() {
    dialog().askForCaptureFolder();
}

std::optional<SkinColours> WindowLinks::skinColours() {
    if (const Dialog* options = loadedDialog())
        return options->skinColours();
    return std::nullopt;
}

void WindowLinks::raiseFromOptionsButton() {
    dialog().raiseFromOptionsButton();
}

void WindowLinks::hideOptionsWindow() {
    dialog().hide();
}

void WindowLinks::showAndCleanOptionsWindow() {
    dialog().showAndClean();
}

void WindowLinks::showFloatingWindow() {
    form3().showForm();
}

void WindowLinks::hideFloatingWindow() {
    if (Form3* floating = loadedForm3())
        floating->hide();
}

void WindowLinks::showMenu(Menu menu, QWidget* owner, const QStringList& items, double leftTwips,
                           double topTwips, double widthTwips) {
    menuWindow(menu).showMenu(owner, items, leftTwips, topTwips, widthTwips);
}

void WindowLinks::hideMenu(Menu menu) {
    if (PopupMenuForm* window = loadedMenuWindow(menu))
        window->hide();
}

CommonDialogState& WindowLinks::fileDialog() {
    return form2().CommonDialog1;
}

CommonDialogState* WindowLinks::loadedFileDialog() {
    Form2* advanced = loadedForm2();
    return advanced ? &advanced->CommonDialog1 : nullptr;
}

void WindowLinks::showAdvancedWindow() {
    form2().showForm();
}

int WindowLinks::menuOpacity() {
    // The advanced window keeps the value: referring to it loads it, which reads it anew.
    form2();
    return preferences().menuOpacity();
}

std::optional<QColor> WindowLinks::floatingColour() {
    form2();  // as for the opacity
    return preferences().floatingColour();
}

void WindowLinks::quitProgram() {
    QuitProgram();
}

void WindowLinks::showHelp() {
    ShowHelp();
}

}  // namespace zd
