#pragma once

#include "app/Form.h"
#include "app/FormControls.h"

namespace zd {

// The about window; the splash borrows the picture of its Picture1.
class FrmHelp : public Form {
    Q_OBJECT
  public:
    FrmHelp();
    void formLoad() override;

    PictureBox* Picture1 = nullptr;
};

}  // namespace zd
