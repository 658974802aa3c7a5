#include "options/clsEx_Drag.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace zd {

clsEx_Drag::clsEx_Drag() = default;

clsEx_Drag::~clsEx_Drag() {
    if (window_)
        Stop_SubClass(window_);
}

void clsEx_Drag::Start_SubClass(QWidget* window) {
    if (!window)
        return;
    if (window_ && window_ != window)
        Stop_SubClass(window_);
    window_ = window;
    previousAcceptDrops_ = window->acceptDrops();
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

void clsEx_Drag::Stop_SubClass(QWidget* window) {
    if (!window || window != window_)
        return;
    window->removeEventFilter(this);
    window->setAcceptDrops(previousAcceptDrops_);
    window_ = nullptr;
}

QString clsEx_Drag::firstDroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile().trimmed();
    }
    return {};
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
