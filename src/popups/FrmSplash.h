#pragma once

#include "app/Form.h"
#include "app/FormControls.h"

namespace zd {

// The splash window: the about window's product picture, centred and on top, for a moment at
// start-up. Main shows it, waits and unloads it; the start-up goes on once Main returns.
class FrmSplash : public Form {
    Q_OBJECT
  public:
    FrmSplash();
    void Main();

    ImageControl* Image1 = nullptr;

    // How long the splash stays: 1.5 s, or ZD_SPLASH_MS milliseconds when that is set.
    static int displayMilliseconds();
};

}  // namespace zd
