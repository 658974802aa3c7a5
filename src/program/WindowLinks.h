#pragma once

#include "app/AdvancedLink.h"
#include "app/FloatingLink.h"
#include "app/MenuLink.h"
#include "app/OptionsLink.h"
#include "app/PlayerLink.h"
#include "app/ProgramActions.h"

namespace zd {

// The links the windows are given: each call goes to the window it names, loading that window
// on first use as any reference to it does.
class WindowLinks final : public PlayerLink,
                          public OptionsLink,
                          public FloatingLink,
                          public MenuLink,
                          public AdvancedLink,
                          public ProgramActions {
  public:
    // PlayerLink
    FlashControl& movie() override;
    void openMovieFile() override;
    void showFrameOnSeekBar(qint16 frame) override;
    void bringPlayerBack() override;
    void previewSkin(const SkinColours& colours) override;

    // OptionsLink
    MovieList& playList() override;
    QString address() override;
    void setAddress(const QString& text) override;
    QString captureFolder() override;
    void askForCaptureFolder() override;
    std::optional<SkinColours> skinColours() override;
    void raiseFromOptionsButton() override;
    void hideOptionsWindow() override;
    void showAndCleanOptionsWindow() override;

    // FloatingLink
    void showFloatingWindow() override;
    void hideFloatingWindow() override;

    // MenuLink
    void showMenu(Menu menu, QWidget* owner, const QStringList& items, double leftTwips,
                  double topTwips, double widthTwips) override;
    void hideMenu(Menu menu) override;

    // AdvancedLink
    CommonDialogState& fileDialog() override;
    CommonDialogState* loadedFileDialog() override;
    void showAdvancedWindow() override;
    int menuOpacity() override;
    std::optional<QColor> floatingColour() override;

    // ProgramActions
    void quitProgram() override;
    void showHelp() override;
};

WindowLinks& windowLinks();

}  // namespace zd
