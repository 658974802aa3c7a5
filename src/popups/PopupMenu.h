#pragma once

#include "app/Form.h"

namespace zd {

// The skinned popup menu; one window per menu (main window, tray and floating window, play
// list), each with its own action table.
class PopupMenuForm : public Form {
    Q_OBJECT
  public:
    enum class Kind { MainWindow, Floating, PlayList };
    explicit PopupMenuForm(Kind kind);
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

}  // namespace zd
