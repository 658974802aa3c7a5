#include "app/Preferences.h"

#include "app/Colours.h"
#include "app/Settings.h"

namespace zd {

namespace {

struct Place {
    const char* section;
    const char* key;
};

// Written under these names; the reads ask for "Myapp…", which the settings file takes as the
// same sections.
constexpr Place kPlaces[Preferences::kItemCount] = {
    {"MyApp1", "Text1"}, {"MyApp2", "Text2"}, {"MyApp3", "Text3"},  {"MyApp4", "Text4"},
    {"MyApp5", "Text7"}, {"MyApp8", "Text8"}, {"MyApp6", "label1"}, {"MyApp7", "label2"},
};

constexpr int kDefaultMenuOpacity = 245;

int index(Preferences::Item item) {
    return static_cast<int>(item);
}

QString readSection(Preferences::Item item) {
    return QStringLiteral("Myapp") + QString::fromLatin1(kPlaces[index(item)].section).mid(5);
}

}  // namespace

Preferences::Preferences(QObject* parent) : QObject(parent) {
    // Until loaded, every value is what a missing key reads as.
    for (int i = 0; i < kItemCount; ++i)
        texts_[i] = QString::fromLatin1(kPlaces[i].key);
}

QString Preferences::text(Item item) const {
    return texts_[index(item)];
}

void Preferences::setText(Item item, const QString& text) {
    if (texts_[index(item)] == text)
        return;
    texts_[index(item)] = text;
    emit changed(item);
}

QString Preferences::section(Item item) {
    return QString::fromLatin1(kPlaces[index(item)].section);
}

QString Preferences::key(Item item) {
    return QString::fromLatin1(kPlaces[index(item)].key);
}

std::optional<int> Preferences::skinPart(Item item) const {
    const std::optional<qint32> value = settings::wholeNumber(text(item));
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return *value;
}

void Preferences::setSkinPart(Item item, int position) {
    setText(item, QString::number(position));
}

std::optional<bool> Preferences::tick(Item item) const {
    const std::optional<double> value = settings::number(text(item));
    if (!value)
        return true;
    if (*value == 0)
        return false;
    if (*value == 1)
        return true;
    return std::nullopt;
}

void Preferences::setTick(Item item, bool ticked) {
    setText(item, ticked ? QStringLiteral("1") : QStringLiteral("0"));
}

QString Preferences::captureFolder() const {
    return text(Item::CaptureFolder);
}

void Preferences::setCaptureFolder(const QString& folder) {
    setText(Item::CaptureFolder, folder);
}

int Preferences::menuOpacity() const {
    const std::optional<qint32> value = settings::integer(text(Item::MenuOpacity));
    if (!value || *value < 0 || *value > 255)
        return kDefaultMenuOpacity;
    return *value;
}

std::optional<int> Preferences::menuOpacityPosition() const {
    const std::optional<qint32> value = settings::wholeNumber(text(Item::MenuOpacity));
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return *value;
}

void Preferences::setMenuOpacity(int opacity) {
    setText(Item::MenuOpacity, QString::number(opacity));
}

std::optional<QColor> Preferences::floatingColour() const {
    return colours::fromStoredText(text(Item::FloatingColour));
}

void Preferences::setFloatingColour(const QColor& colour) {
    setText(Item::FloatingColour, QString::number(colours::bgrValue(colour)));
}

void Preferences::load(Item item) {
    setText(item, settings::read(readSection(item), key(item)));
}

void Preferences::save(Item item) const {
    settings::write(section(item), key(item), text(item));
}

void Preferences::loadOptions() {
    for (Item item : {Item::SkinRed, Item::SkinGreen, Item::SkinBlue, Item::SkinTopDown,
                      Item::WhiteBackground, Item::CaptureFolder})
        load(item);
}

void Preferences::saveSkin() const {
    for (Item item : {Item::SkinRed, Item::SkinGreen, Item::SkinBlue, Item::SkinTopDown})
        save(item);
}

void Preferences::savePlayPage() const {
    save(Item::CaptureFolder);
    save(Item::WhiteBackground);
}

void Preferences::loadAdvanced() {
    load(Item::MenuOpacity);
    load(Item::FloatingColour);
}

void Preferences::saveAdvanced() const {
    save(Item::MenuOpacity);
    save(Item::FloatingColour);
}

}  // namespace zd
