#include "program/Windows.h"

#include <QPointer>
#include <functional>
#include <memory>

#include "app/FlashControl.h"
#include "app/Preferences.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "platform/Services.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "popups/FrmHelp.h"
#include "popups/PopupMenu.h"
#include "program/Functions.h"
#include "program/Startup.h"
#include "program/WindowLinks.h"

namespace zd {

namespace {

template <class T>
class Slot {
  public:
    using Create = std::function<T*()>;
    using Step = std::function<void(T&)>;

    Slot(Create create, Step load, Step queryUnload, Step unload)
        : create_(std::move(create)),
          load_(std::move(load)),
          queryUnload_(std::move(queryUnload)),
          unload_(std::move(unload)) {}

    T& get() {
        if (instance)
            return *instance;
        T* window = create_();
        // Stored before the load step runs, so the load can refer to its own window.
        instance = window;
        QObject::connect(window, &Form::unloadRequested, window, [this] { unload(); });
        load_(*window);
        // An exit during the load may have unloaded it already; it goes once events run.
        return *window;
    }

    void unload() {
        T* window = instance.data();
        if (!window)
            return;
        queryUnload_(*window);
        unload_(*window);
        instance = nullptr;
        window->hide();
        // Unloading often happens inside one of the window's own handlers.
        window->deleteLater();
    }

    void discard() {
        delete instance.data();
        instance = nullptr;
    }

    QPointer<T> instance;

  private:
    Create create_;
    Step load_;
    Step queryUnload_;
    Step unload_;
};

// The window's own load, query-unload and unload steps.
template <class T>
Slot<T> ownSteps(typename Slot<T>::Create create) {
    return Slot<T>(
        std::move(create), [](T& w) { w.formLoad(); }, [](T& w) { w.formQueryUnload(); },
        [](T& w) { w.formUnload(); });
}

std::unique_ptr<Preferences>& preferencesHolder() {
    static std::unique_ptr<Preferences> holder;
    return holder;
}

PopupMenuForm::Actions panelMenuActions() {
    return {
        {0, OpenMovie}, {2, RaiseOptionsWindow}, {4, ShowAbout}, {6, ShowHelp}, {8, QuitProgram}};
}

PopupMenuForm::Actions floatingMenuActions() {
    return {{0, ShowMainWindow},  {2, HideMainWindow}, {4, ShowOptionsWindow}, {6, HideFloatWindow},
            {8, ShowFloatWindow}, {10, ShowAbout},     {12, ShowHelp},         {14, QuitProgram}};
}

PopupMenuForm::Actions playListMenuActions() {
    return {{0, PlaySelectedEntry},
            {2,
             [] {
                 RemoveSelectedEntry();
                 platform::playAppSound(QStringLiteral("sound/recycle.wav"));
             }},
            {4, ShowEntryProperties}};
}

WindowLinks& links() {
    return windowLinks();
}

Slot<Form1> form1Slot(
    [] {
        auto* form = new Form1(links(), links(), links(), links(), links());
        // The movie's own menu offers the program's about window.
        QObject::connect(form->SwFlash, &FlashControl::aboutRequested, form, [] { ShowAbout(); });
        return form;
    },
    startUp, mainWindowQueryUnload, mainWindowUnload);
Slot<Dialog> dialogSlot = ownSteps<Dialog>(
    [] { return new Dialog(preferences(), links(), links(), links(), links(), links()); });
Slot<Form2> form2Slot = ownSteps<Form2>([] { return new Form2(preferences(), links(), links()); });
Slot<Form3> form3Slot =
    ownSteps<Form3>([] { return new Form3(links(), links(), links(), links()); });
Slot<PopupMenuForm> form4Slot = ownSteps<PopupMenuForm>(
    [] { return new PopupMenuForm(PopupMenuForm::Kind::MainWindow, panelMenuActions(), links()); });
Slot<PopupMenuForm> form5Slot = ownSteps<PopupMenuForm>([] {
    return new PopupMenuForm(PopupMenuForm::Kind::Floating, floatingMenuActions(), links());
});
Slot<PopupMenuForm> form6Slot = ownSteps<PopupMenuForm>([] {
    return new PopupMenuForm(PopupMenuForm::Kind::PlayList, playListMenuActions(), links());
});
Slot<FrmHelp> frmHelpSlot = ownSteps<FrmHelp>([] { return new FrmHelp; });

}  // namespace

Form1& form1() {
    return form1Slot.get();
}
Dialog& dialog() {
    return dialogSlot.get();
}
Form2& form2() {
    return form2Slot.get();
}
Form3& form3() {
    return form3Slot.get();
}
PopupMenuForm& form4() {
    return form4Slot.get();
}
PopupMenuForm& form5() {
    return form5Slot.get();
}
PopupMenuForm& form6() {
    return form6Slot.get();
}
FrmHelp& frmHelp() {
    return frmHelpSlot.get();
}

Form1* loadedForm1() {
    return form1Slot.instance;
}
Dialog* loadedDialog() {
    return dialogSlot.instance;
}
Form2* loadedForm2() {
    return form2Slot.instance;
}
Form3* loadedForm3() {
    return form3Slot.instance;
}
PopupMenuForm* loadedForm4() {
    return form4Slot.instance;
}
PopupMenuForm* loadedForm5() {
    return form5Slot.instance;
}
PopupMenuForm* loadedForm6() {
    return form6Slot.instance;
}
FrmHelp* loadedFrmHelp() {
    return frmHelpSlot.instance;
}

void unloadForm1() {
    form1Slot.unload();
}
void unloadDialog() {
    dialogSlot.unload();
}
void unloadForm2() {
    form2Slot.unload();
}
void unloadForm3() {
    form3Slot.unload();
}
void unloadFrmHelp() {
    frmHelpSlot.unload();
}

Preferences& preferences() {
    std::unique_ptr<Preferences>& holder = preferencesHolder();
    if (!holder)
        holder = std::make_unique<Preferences>();
    return *holder;
}

void discardAllWindows() {
    form4Slot.discard();
    form5Slot.discard();
    form6Slot.discard();
    form3Slot.discard();
    form2Slot.discard();
    frmHelpSlot.discard();
    dialogSlot.discard();
    form1Slot.discard();
    preferencesHolder().reset();
}

}  // namespace zd
