#include "app/Windows.h"

#include <QPointer>

#include "options/Dialog.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "popups/FrmHelp.h"
#include "popups/PopupMenu.h"
#include "window/Form1.h"

namespace zd {

namespace {

template <class T>
struct Slot {
    QPointer<T> instance;

    template <class... Args>
    T& get(Args... args) {
        if (!instance) {
            T* window = new T(args...);
            // Stored before the load step runs, so the load can refer to its own window.
            instance = window;
            window->formLoad();
        }
        return *instance;
    }

    void unload() {
        T* window = instance.data();
        if (!window)
            return;
        window->formQueryUnload();
        window->formUnload();
        instance = nullptr;
        window->hide();
        // Unloading often happens inside one of the window's own handlers.
        window->deleteLater();
    }

    void discard() {
        delete instance.data();
        instance = nullptr;
    }
};

Slot<Form1> form1Slot;
Slot<Dialog> dialogSlot;
Slot<Form2> form2Slot;
Slot<Form3> form3Slot;
Slot<PopupMenuForm> form4Slot;
Slot<PopupMenuForm> form5Slot;
Slot<PopupMenuForm> form6Slot;
Slot<FrmHelp> frmHelpSlot;

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
    return form4Slot.get(PopupMenuForm::Kind::MainWindow);
}
PopupMenuForm& form5() {
    return form5Slot.get(PopupMenuForm::Kind::Floating);
}
PopupMenuForm& form6() {
    return form6Slot.get(PopupMenuForm::Kind::PlayList);
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

void discardAllWindows() {
    form4Slot.discard();
    form5Slot.discard();
    form6Slot.discard();
    form3Slot.discard();
    form2Slot.discard();
    frmHelpSlot.discard();
    dialogSlot.discard();
    form1Slot.discard();
}

}  // namespace zd
