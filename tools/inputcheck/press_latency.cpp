// zephyrdeck-press-latency X Y R,G,B [TIMEOUT_MS]
//
// Presses the left mouse button where the pointer is (through xdotool, as a user's press
// reaches the X server) and watches the screen's pixel (X, Y) until it shows the colour R,G,B.
// Prints "latency_ms=N": the time from just before the press is sent to the first screen
// capture showing the colour (it includes starting xdotool, so it errs on the long side).
// Exits 1 when the colour has not shown within TIMEOUT_MS (2000 unless given).

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStringList>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: zephyrdeck-press-latency X Y R,G,B [TIMEOUT_MS]\n");
        return 2;
    }
    const int x = args[1].toInt();
    const int y = args[2].toInt();
    const QStringList rgb = args[3].split(',');
    if (rgb.size() != 3) {
        std::fprintf(stderr, "colour must be R,G,B\n");
        return 2;
    }
    const QRgb wanted = qRgb(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt());
    const qint64 timeoutMs = args.size() > 4 ? args[4].toLongLong() : 2000;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fprintf(stderr, "no screen\n");
        return 2;
    }
    auto shown = [&] {
        const QImage pixel = screen->grabWindow(0, x, y, 1, 1).toImage();
        return !pixel.isNull() && (pixel.pixel(0, 0) & 0xffffff) == (wanted & 0xffffff);
    };
    if (shown()) {
        std::fprintf(stderr, "the colour shows before the press\n");
        return 2;
    }
    QProcess press;
    QElapsedTimer clock;
    clock.start();
    press.start(QStringLiteral("xdotool"), {QStringLiteral("mousedown"), QStringLiteral("1")});
    while (clock.elapsed() < timeoutMs) {
        if (shown()) {
            std::printf("latency_ms=%.1f\n", double(clock.nsecsElapsed()) / 1e6);
            press.waitForFinished(2000);
            return 0;
        }
        QThread::usleep(200);
    }
    press.waitForFinished(2000);
    std::printf("latency_ms=timeout\n");
    return 1;
}
