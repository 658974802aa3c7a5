#include "platform/fake/FakePlatform.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "platform/AppFolder.h"
#include "platform/DesktopAssociation.h"

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

std::optional<QColor> FakeCommonDialogs::chooseColor(QWidget*, const QColor&) {
    ++colorRequests;
    if (colorAnswers.empty())
        return std::nullopt;
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

bool FakeSystemTray::notifyIcon(Command command, const TrayIconData& data) {
    requests.push_back({command, data});
    error = 0;
    if (failNext != 0) {
        error = std::exchange(failNext, 0);
        return false;
    }
    auto found = std::find_if(icons.begin(), icons.end(), [&](const TrayIconData& icon) {
        return icon.window == data.window && icon.id == data.id;
    });
    switch (command) {
        case Command::Add:
            if (!data.window) {
                error = kTrayNoWindow;
            } else if (found != icons.end()) {
                error = kTrayIconExists;
            } else if (!available) {
                error = kTrayUnavailable;
            } else {
                icons.push_back(data);
            }
            break;
        case Command::Modify:
            if (found == icons.end()) {
                error = kTrayNoSuchIcon;
                break;
            }
            if (data.fields & kTrayFieldMessage)
                found->callbackMessage = data.callbackMessage;
            if (data.fields & kTrayFieldIcon)
                found->icon = data.icon;
            if (data.fields & kTrayFieldTip)
                found->tip = data.tip;
            break;
        case Command::Delete:
            if (found == icons.end()) {
                error = kTrayNoSuchIcon;
                break;
            }
            icons.erase(found);
            break;
    }
    return error == 0;
}

const TrayIconData* FakeSystemTray::icon(const QWidget* window, quint32 id) const {
    for (const TrayIconData& icon : icons) {
        if (icon.window == window && icon.id == id)
            return &icon;
    }
    return nullptr;
}

void FakeSystemTray::mouse(const QWidget* window, quint32 mouseMessage, quint32 id) const {
    const TrayIconData* shown = icon(window, id);
    if (shown && (shown->fields & kTrayFieldMessage))
        postTrayMessage(shown->window, shown->callbackMessage, mouseMessage);
}

FakePlatform::FakePlatform() {
    savedDataHome_ = qgetenv("XDG_DATA_HOME");
    savedConfigHome_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_DATA_HOME", (dir_.path() + "/xdg-data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir_.path() + "/xdg-config").toLocal8Bit());
    setRefreshDesktopCaches(false);
    setAppFolderOverride(dir_.path());
    setSoundPlayer(&sound);
    setMessageBoxes(&messages);
    setCommonDialogs(&dialogs);
    setShell(&shell);
    setMixerDevice(&mixer);
    setScreenCapture(&capture);
    setWindowSystem(&windowSystem);
    setSystemTray(&tray);
    setScreen(1024, 768);
    setCommandLine(QString());
}

FakePlatform::~FakePlatform() {
    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    };
    restore("XDG_DATA_HOME", savedDataHome_);
    restore("XDG_CONFIG_HOME", savedConfigHome_);
    setRefreshDesktopCaches(true);
    setAppFolderOverride(QString());
    setSoundPlayer(nullptr);
    setMessageBoxes(nullptr);
    setCommonDialogs(nullptr);
    setShell(nullptr);
    setMixerDevice(nullptr);
    setScreenCapture(nullptr);
    setWindowSystem(nullptr);
    setSystemTray(nullptr);
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
