// zephyrdeck-dragsource [--at X,Y] (--file PATH ... | --text TEXT)
//
// Shows a small window titled "zephyrdeck-dragsource" at (X, Y). Pressing the left button on it
// starts one drag: of the files as a file manager drags them (their URLs and their names as
// text), or of the text alone. When the drag ends the program prints "dropped" (the target took
// it) or "refused", hides its window and exits two seconds later: the drag ends as the drop is
// sent, and the target then still asks the source for the data.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

struct Payload {
    QStringList files;
    QString text;
    bool hasText = false;
};

class DragSource : public QWidget {
  public:
    explicit DragSource(Payload payload) : payload_(std::move(payload)) {
        setWindowTitle(QStringLiteral("zephyrdeck-dragsource"));
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        resize(120, 80);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(255, 160, 0));
        p.drawText(rect(), Qt::AlignCenter, payload_.files.isEmpty() ? "text" : "files");
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        auto* data = new QMimeData;
        if (!payload_.files.isEmpty()) {
            QList<QUrl> urls;
            for (const QString& file : payload_.files)
                urls << QUrl::fromLocalFile(file);
            data->setUrls(urls);
            data->setText(payload_.files.join(QLatin1Char('\n')));
        } else {
            data->setText(payload_.text);
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
        std::printf("%s\n", action == Qt::IgnoreAction ? "refused" : "dropped");
        std::fflush(stdout);
        hide();
        QTimer::singleShot(2000, qApp, &QApplication::quit);
    }

  private:
    Payload payload_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Payload payload;
    QPoint at(0, 0);
    const QStringList args = QApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--file")) {
            payload.files << args[i + 1];
        } else if (args[i] == QLatin1String("--text")) {
            payload.text = args[i + 1];
            payload.hasText = true;
        } else if (args[i] == QLatin1String("--at")) {
            const QStringList xy = args[i + 1].split(QLatin1Char(','));
            if (xy.size() == 2)
                at = QPoint(xy[0].toInt(), xy[1].toInt());
        } else {
            std::fprintf(stderr, "unknown option %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    if (payload.files.isEmpty() && !payload.hasText) {
        std::fprintf(stderr,
                     "usage: zephyrdeck-dragsource [--at X,Y] (--file PATH ... | --text TEXT)\n");
        return 2;
    }
    DragSource window(payload);
    window.move(at);
    window.show();
    return app.exec();
}
