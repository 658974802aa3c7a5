#include "app/clsEx_Drag.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace zd {

namespace {
// Kept on an attached window: how many drop objects are attached to it, and whether it took
// drops before the first of them came (restored when the last one goes).
constexpr char kAttachedCount[] = "zdDropObjects";
constexpr char kAcceptedDropsBefore[] = "zdAcceptedDropsBefore";
}  // namespace

clsEx_Drag::clsEx_Drag() = default;

clsEx_Drag::~clsEx_Drag() {
    if (window_)
        Stop_SubClass(window_);
}

void clsEx_Drag::Start_SubClass(QWidget* window) {
    if (!window || window == window_)
        return;
    // One window per object: attaching another lets the first go.
    if (window_)
        Stop_SubClass(window_);
    window_ = window;
    const int attached = window->property(kAttachedCount).toInt();
    if (attached == 0)
        window->setProperty(kAcceptedDropsBefore, window->acceptDrops());
    window->setProperty(kAttachedCount, attached + 1);
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

void clsEx_Drag::Stop_SubClass(QWidget* window) {
    if (!window || window != window_)
        return;
    window->removeEventFilter(this);
    const int attached = window->property(kAttachedCount).toInt() - 1;
    if (attached <= 0) {
        // The last drop object gone: the window takes drops exactly as it did before.
        window->setAcceptDrops(window->property(kAcceptedDropsBefore).toBool());
        window->setProperty(kAttachedCount, QVariant());
        window->setProperty(kAcceptedDropsBefore, QVariant());
    } else {
        window->setProperty(kAttachedCount, attached);
    }
    window_ = nullptr;
}

QString clsEx_Drag::firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return withoutSurroundingBlanks(url.toLocalFile());
    }
    return {};
}

QString clsEx_Drag::withoutSurroundingBlanks(const QString& name) {
    const QString trimmed = name.trimmed();
    // A file that really has blanks at the ends of its name is still the file dropped.
    if (trimmed != name && !QFileInfo::exists(trimmed) && QFileInfo::exists(name))
        return name;
    return trimmed;
}

bool clsEx_Drag::isDroppedText(const QMimeData* data) {
    return data && data->hasFormat(QStringLiteral("text/plain")) &&
           firstDroppedFile(data).isEmpty();
}

bool clsEx_Drag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDropEvent*>(event);
            if (firstDroppedFile(e->mimeData()).isEmpty())
                return false;
            e->setDropAction(Qt::CopyAction);
            e->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            const QString file = firstDroppedFile(e->mimeData());
            if (file.isEmpty())
                return false;
            e->setDropAction(Qt::CopyAction);
            e->accept();
            emit GetFileName(file);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace zd
