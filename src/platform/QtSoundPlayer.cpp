#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>
#include <algorithm>

#include "platform/RealServices.h"

namespace zd::platform {

namespace {
// The program plays three effects; a few more slots cover wave files chosen in the file dialog.
constexpr size_t kMaxLoadedEffects = 8;

QtSoundPlayer*& livePlayer() {
    static QtSoundPlayer* player = nullptr;
    return player;
}
}  // namespace

struct QtSoundPlayer::Entry {
    QString path;
    std::unique_ptr<QSoundEffect> effect;
};

QtSoundPlayer::QtSoundPlayer() {
    livePlayer() = this;
    // The player lives until the very end of the process, longer than Qt Multimedia's own
    // sample cache: its effects must go while the application object still exists.
    static const bool registered = [] {
        qAddPostRoutine([] {
            if (QtSoundPlayer* player = livePlayer())
                player->effects_.clear();
        });
        return true;
    }();
    Q_UNUSED(registered);
}

QtSoundPlayer::~QtSoundPlayer() {
    if (livePlayer() == this)
        livePlayer() = nullptr;
}

bool looksLikeWaveFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

void QtSoundPlayer::playAsync(const QString& path) {
    // Anything but a wave file is silently ignored, like the classic "no default sound" call.
    if (!looksLikeWaveFile(path))
        return;
    auto found = std::find_if(effects_.begin(), effects_.end(),
                              [&](const auto& entry) { return entry->path == path; });
    std::unique_ptr<Entry> entry;
    if (found != effects_.end()) {
        entry = std::move(*found);
        effects_.erase(found);
    } else {
        entry = std::make_unique<Entry>();
        entry->path = path;
        entry->effect = std::make_unique<QSoundEffect>();
        entry->effect->setSource(QUrl::fromLocalFile(path));
    }
    // Loading is asynchronous: play() before the file is loaded starts it once it is.
    entry->effect->stop();
    entry->effect->play();
    effects_.push_back(std::move(entry));
    if (effects_.size() > kMaxLoadedEffects)
        effects_.erase(effects_.begin());
}

}  // namespace zd::platform
