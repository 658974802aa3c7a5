#pragma once

namespace zd {

// The floating drop window as the other windows use it.
class FloatingLink {
  public:
    virtual ~FloatingLink() = default;
    // Shown in front; loads the window when it is not loaded yet.
    virtual void showFloatingWindow() = 0;
    // Hidden; a window not loaded yet stays so.
    virtual void hideFloatingWindow() = 0;
};

}  // namespace zd
