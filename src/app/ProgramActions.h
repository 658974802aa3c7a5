#pragma once

namespace zd {

// What the windows ask of the program as a whole.
class ProgramActions {
  public:
    virtual ~ProgramActions() = default;
    // The exit routine: the windows unloaded in order, the process ended; runs once.
    virtual void quitProgram() = 0;
    // The help pages, with the desktop's opener.
    virtual void showHelp() = 0;
};

}  // namespace zd
