#pragma once

namespace zd {

class Form1;
class Dialog;
class Form2;
class Form3;
class PopupMenuForm;
class FrmHelp;

// Every window of the program is one global instance. The first reference creates it and runs
// its load step (the window stays hidden unless its own load shows it); unloading runs its
// query-unload and unload steps and drops it, so the next reference loads a fresh one.
Form1& form1();
Dialog& dialog();        // the options window
Form2& form2();          // the advanced window
Form3& form3();          // the floating drop window
PopupMenuForm& form4();  // main-window menu
PopupMenuForm& form5();  // tray and floating-window menu
PopupMenuForm& form6();  // play-list menu
FrmHelp& frmHelp();      // the about window

// The instance when loaded, otherwise nullptr; never loads.
Form1* loadedForm1();
Dialog* loadedDialog();
Form2* loadedForm2();
Form3* loadedForm3();
PopupMenuForm* loadedForm4();
PopupMenuForm* loadedForm5();
PopupMenuForm* loadedForm6();
FrmHelp* loadedFrmHelp();

void unloadForm1();
void unloadDialog();
void unloadForm2();
void unloadForm3();
void unloadFrmHelp();

// Drops every window without its unload steps: the end of the program, and test teardown.
void discardAllWindows();

}  // namespace zd
