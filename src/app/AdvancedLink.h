#pragma once

#include <QColor>
#include <optional>

namespace zd {

struct CommonDialogState;

// The advanced window as the other windows use it. It keeps the common dialog's memory and the
// two values the menus and the floating window read when they load; each of these calls loads
// the advanced window (hidden) when it is not loaded yet, which reads both values anew.
class AdvancedLink {
  public:
    virtual ~AdvancedLink() = default;
    virtual CommonDialogState& fileDialog() = 0;
    // The dialog's memory when the advanced window is loaded; never loads it.
    virtual CommonDialogState* loadedFileDialog() = 0;
    virtual void showAdvancedWindow() = 0;
    // The popup menus' opacity, 0..255.
    virtual int menuOpacity() = 0;
    // The floating window's colour; nullopt keeps its design colours.
    virtual std::optional<QColor> floatingColour() = 0;
};

}  // namespace zd
