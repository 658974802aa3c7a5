#pragma once

#include <QEventLoop>
#include <QPixmap>

#include "controls/Form.h"
#include "controls/ImageControl.h"

namespace zd {

// The splash window: the about window's product picture, centred and on top, for a moment at
// start-up. Main shows it with that picture, waits and hides it; the start-up goes on once Main
// returns.
class FrmSplash : public Form {
    Q_OBJECT
  public:
    FrmSplash();
    void Main(const QPixmap& picture);
    // Ends the wait at once (the program is ending).
    void interrupt();

    ImageControl* Image1 = nullptr;

    // How long the splash stays: 1.5 s, or ZD_SPLASH_MS milliseconds when that is set.
    static int displayMilliseconds();

  private:
    QEventLoop* wait_ = nullptr;
};

}  // namespace zd
