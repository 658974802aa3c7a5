#pragma once

class QWidget;

namespace zd {

// Gives `control` the keyboard focus (activating its window) and waits, letting events run,
// until it holds it. Returns false without waiting when the control is hidden or its window is
// minimised, and gives up after `timeoutMs` when the focus still cannot be given, so a caller
// never hangs on a window that cannot take the focus.
bool WaitForFocus(QWidget* control, int timeoutMs = 500);

// Puts `form` on top of other windows (or back among them) and shows it without activating it.
void SetTopMostWindow(QWidget* form, bool onTop);

}  // namespace zd
