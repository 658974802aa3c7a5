#pragma once

namespace zd {

class Form1;

// The main window's load step, which is the program's start-up: the splash, the options window
// loaded hidden, the drop target, the mixer and the volume bar, the window's place and layout,
// the file association, the command-line movie and the screenshot counter.
void startUp(Form1& main);

// The main window's query-unload and unload steps: the tray icon goes, the counter is saved.
void mainWindowQueryUnload(Form1& main);
void mainWindowUnload(Form1& main);

}  // namespace zd
