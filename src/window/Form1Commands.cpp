// The main window's commands.
#include "app/Functions.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "platform/Services.h"
#include "window/Form1.h"

namespace zd {

void Form1::connectCommands() {
    connect(ImageOption->events(), &MouseEventSource::click, this, &Form1::ImageOption_Click);
}

void Form1::ImageOption_Click() {
    Dialog& options = dialog();
    if (!options.isVisible()) {
        options.show();
        RemoveEmptyEntries();
        // A move there and back repaints the window in place.
        options.setLeftTwips(options.leftTwips() + 1);
        options.setLeftTwips(options.leftTwips() - 1);
    }
    if (options.isVisible()) {
        // Hidden and shown again: in front of every other window, where it was.
        options.hide();
        options.showForm();
        RemoveEmptyEntries();
    }
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

}  // namespace zd
