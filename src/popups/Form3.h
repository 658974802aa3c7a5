#pragma once

#include "app/Form.h"

namespace zd {

// The floating drop window: small, always on top, translucent; stands in for the main window
// while that is hidden.
class Form3 : public Form {
    Q_OBJECT
  public:
    Form3();
    void formLoad() override;
};

}  // namespace zd
