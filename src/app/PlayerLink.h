#pragma once

#include <QtGlobal>

namespace zd {

class FlashControl;
struct SkinColours;

// The main window's player as the other windows use it. Each call loads the main window when
// it is not loaded yet.
class PlayerLink {
  public:
    virtual ~PlayerLink() = default;
    // The movie control: loading a movie, playing and holding it, its frames and progress.
    virtual FlashControl& movie() = 0;
    // The open procedure: the file dialog, then the chosen movie loads and joins the play list.
    virtual void openMovieFile() = 0;
    // The seek bar shows this frame (a movie jumped to while halted).
    virtual void showFrameOnSeekBar(qint16 frame) = 0;
    // The main window comes back in its normal state, shown and in front.
    virtual void bringPlayerBack() = 0;
    // The main window's skin painted in these colours, without storing them.
    virtual void previewSkin(const SkinColours& colours) = 0;
};

}  // namespace zd
