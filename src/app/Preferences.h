#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

namespace zd {

// The options the user sets, in one object: the skin gradient and the playback background and
// capture folder of the options window, and the two values of the advanced window. Each is held
// as the text the settings store keeps (so a value never stored reads as its key's own name,
// and is written back as it was read), with typed readings and setters for the windows that
// show and use it. Loaded from and saved to Settings.Tov in the groups the windows apply them.
class Preferences : public QObject {
    Q_OBJECT
  public:
    enum class Item {
        SkinRed,          // [MyApp1] Text1: slider position 0..255
        SkinGreen,        // [MyApp2] Text2
        SkinBlue,         // [MyApp3] Text3
        SkinTopDown,      // [MyApp4] Text4: "1" brightest band at the top
        WhiteBackground,  // [MyApp5] Text7: "1" the playback background box ticked
        CaptureFolder,    // [MyApp8] Text8
        MenuOpacity,      // [MyApp6] label1: 0..255
        FloatingColour,   // [MyApp7] label2: a 0x00BBGGRR value
    };
    static constexpr int kItemCount = 8;

    explicit Preferences(QObject* parent = nullptr);

    // The value as held (as read, or as last set) and its section and key in the settings file.
    QString text(Item item) const;
    void setText(Item item, const QString& text);
    static QString section(Item item);
    static QString key(Item item);

    // The slider position the stored text asks for, or nullopt to leave the slider where it is
    // (no whole number from 0 to 255).
    std::optional<int> skinPart(Item item) const;
    void setSkinPart(Item item, int position);
    // A check box's state from its stored text: "0" unticks, "1" ticks, any other number leaves
    // it as it is (nullopt), a text that is no number ticks it (a first start shows it ticked).
    std::optional<bool> tick(Item item) const;
    void setTick(Item item, bool ticked);
    QString captureFolder() const;
    void setCaptureFolder(const QString& folder);
    // The popup menus' opacity: a whole number from 0 to 255, 245 otherwise.
    int menuOpacity() const;
    // The opacity slider's position the stored text asks for (rounded), nullopt to leave it.
    std::optional<int> menuOpacityPosition() const;
    void setMenuOpacity(int opacity);
    std::optional<QColor> floatingColour() const;
    void setFloatingColour(const QColor& colour);

    // The six values of the options window, read when it loads.
    void loadOptions();
    // Written by the colour page's apply button.
    void saveSkin() const;
    // Written by the play page's confirm button: the capture folder, then the background.
    void savePlayPage() const;
    // The advanced window's two values, read each time it loads, written by its save button.
    void loadAdvanced();
    void saveAdvanced() const;

  signals:
    void changed(Preferences::Item item);

  private:
    void load(Item item);
    void save(Item item) const;
    std::array<QString, kItemCount> texts_;
};

}  // namespace zd
