#include "platform/fake/FakePlatform.h"

#include <QFileInfo>

#include "platform/AppFolder.h"

namespace zd::platform {

std::optional<OpenFileResult> FakeCommonDialogs::openFile(QWidget*,
                                                          const OpenFileRequest& request) {
    openFileRequests.push_back(request);
    if (openFileAnswers.empty())
        return std::nullopt;
    const std::optional<QString> answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    if (!answer)
        return std::nullopt;
    return OpenFileResult{*answer, QFileInfo(*answer).fileName()};
}

QColor FakeCommonDialogs::chooseColor(QWidget*, const QColor& initial) {
    ++colorRequests;
    if (colorAnswers.empty())
        return initial;
    const QColor answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
}

std::optional<QString> FakeCommonDialogs::browseForFolder(QWidget*, const QString& title) {
    folderTitles.push_back(title);
    if (folderAnswers.empty())
        return std::nullopt;
    const std::optional<QString> answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

FakePlatform::FakePlatform() {
    setAppFolderOverride(dir_.path());
    setSoundPlayer(&sound);
    setMessageBoxes(&messages);
    setCommonDialogs(&dialogs);
    setShell(&shell);
    setMixerDevice(&mixer);
    setScreen(1024, 768);
    setCommandLine(QString());
}

FakePlatform::~FakePlatform() {
    setAppFolderOverride(QString());
    setSoundPlayer(nullptr);
    setMessageBoxes(nullptr);
    setCommonDialogs(nullptr);
    setShell(nullptr);
    setMixerDevice(nullptr);
    setScreenMetrics(std::nullopt);
    setCommandLineText(std::nullopt);
}

QString FakePlatform::file(const QString& name) const {
    return dir_.path() + QLatin1Char('/') + name;
}

void FakePlatform::setCommandLine(const QString& text) {
    setCommandLineText(text);
}

void FakePlatform::setScreen(int widthPixels, int heightPixels, double twipsPerPixel) {
    ScreenMetrics metrics;
    metrics.widthPixels = widthPixels;
    metrics.heightPixels = heightPixels;
    metrics.twipsPerPixelX = twipsPerPixel;
    metrics.twipsPerPixelY = twipsPerPixel;
    setScreenMetrics(metrics);
}

}  // namespace zd::platform
