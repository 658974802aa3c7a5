#pragma once

namespace zd {

class Form1;
class Dialog;
class Form2;
class Form3;
class PopupMenuForm;
class FrmHelp;
class Preferences;

// Every window of the program is one instance, created here and nowhere else. The first
// reference creates it, hands it the links to the rest of the program and runs its load step
// (the window stays hidden unless its own load shows it); unloading runs its query-unload and
// unload steps and drops it, so the next reference loads a fresh one.
Form1& form1();          // the main window: its load runs the program's start-up
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

// The user's options, shared by the windows that show and use them.
Preferences& preferences();

// Drops every window without its unload steps, and the options with them: the end of the
// program, and test teardown.
void discardAllWindows();

}  // namespace zd
