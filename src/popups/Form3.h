#pragma once

#include <memory>

#include "controls/Form.h"
#include "controls/FormTimer.h"
#include "controls/LineControl.h"
#include "controls/PictureBox.h"

class QMimeData;

namespace zd {

class AdvancedLink;
class MenuLink;
class OptionsLink;
class PlayerLink;
class clsEx_Drag;

// The floating drop window: small, always on top, translucent; stands in for the main window
// while that is hidden. Its picture takes dropped files (through its drop object) and dropped
// text (loaded as the movie, the loading percentage in the picture's tooltip), drags the window
// with the left button, opens the floating menu on a right-button release and brings the main
// window back on a double click. Loading the window shows it.
class Form3 : public Form {
    Q_OBJECT
  public:
    Form3(PlayerLink& player, OptionsLink& options, MenuLink& menus, AdvancedLink& advanced);
    ~Form3() override;
    void formLoad() override;

    void Image1_MouseDown(int button, int shift, double x, double y);
    void Image1_MouseUp(int button, int shift, double x, double y);
    void Image1_DblClick();
    // Text dropped on the picture: the movie to load. Data without text is ignored.
    void Image1_OLEDragDrop(const QMimeData* data);
    // Follows the load started by a text drop until it is complete (or has failed).
    void TmrProgress_Timer();
    // A file dropped on the picture: loaded and appended to the play list.
    void obj_GetFileName(const QString& sFile);

    PictureBox* Image1 = nullptr;
    LineControl* Line4 = nullptr;  // top edge
    LineControl* Line3 = nullptr;  // left edge
    LineControl* Line1 = nullptr;  // right edge
    LineControl* Line2 = nullptr;  // bottom edge
    FormTimer* TmrProgress = nullptr;

    // The picture's drop object.
    std::unique_ptr<clsEx_Drag> obj;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showLoadingProgress();
    void setTip(const QString& tip);

    PlayerLink& player_;
    OptionsLink& options_;
    MenuLink& menus_;
    AdvancedLink& advanced_;
};

}  // namespace zd
