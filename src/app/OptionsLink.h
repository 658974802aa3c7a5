#pragma once

#include <QString>
#include <optional>

namespace zd {

class MovieList;
struct SkinColours;

// The options window as the other windows use it. Each call loads the options window when it
// is not loaded yet, except where it says otherwise.
class OptionsLink {
  public:
    virtual ~OptionsLink() = default;
    // The play list the options window keeps.
    virtual MovieList& playList() = 0;
    // The play page's address box.
    virtual QString address() = 0;
    virtual void setAddress(const QString& text) = 0;
    // The folder screen captures go to, as the play page shows it.
    virtual QString captureFolder() = 0;
    // Shows the options window and asks for the capture folder.
    virtual void askForCaptureFolder() = 0;
    // The skin colours as the colour page shows them now; nullopt while the options window is
    // not loaded (this call never loads it).
    virtual std::optional<SkinColours> skinColours() = 0;
    // The main window's options button: the window shown in front with its list cleaned.
    virtual void raiseFromOptionsButton() = 0;
    virtual void hideOptionsWindow() = 0;
    // Shown, and the play list cleaned of empty entries.
    virtual void showAndCleanOptionsWindow() = 0;
};

}  // namespace zd
