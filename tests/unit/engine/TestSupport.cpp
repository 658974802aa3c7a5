#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace zd::test {

void ensureApp() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "unit_engine";
        static char* argv[] = {name, nullptr};
        static auto* app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    ensureApp();
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void processEvents(int ms) {
    ensureApp();
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

QString writeTempFile(const Bytes& bytes, const QString& name) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return {};
    }
    f.write(toQByteArray(bytes));
    return path;
}

swfwriter::MovieWriter makeMovie(const MovieSpec& spec) {
    using namespace swfwriter;
    MovieWriter movie(spec.version, spec.stage, spec.frameRate);
    if (spec.background) {
        movie.setBackgroundColor(*spec.background);
    }
    ShapeBuilder box;
    box.fill0(box.addFillStyle(FillStyle::solid({200, 40, 40, 255})));
    box.line(box.addLineStyle(LineStyle::solid(40, {0, 0, 0, 255})));
    box.rectangle(-500, -500, 1000, 1000);
    const std::uint16_t boxId = movie.defineShape(box, 1);

    Timeline inner;
    for (int f = 0; f < spec.spriteFrames; ++f) {
        inner.placeObject2(f == 0 ? PlaceObject::place(1, boxId) : PlaceObject::modify(1));
        inner.showFrame();
    }
    const std::uint16_t spriteId = movie.defineSprite(inner);

    Bytes padding(spec.paddingPerFrame, 0x5a);
    std::uint32_t noise = 12345;
    for (std::uint8_t& b : padding) {
        if (spec.noisyPadding) {
            noise = noise * 1103515245u + 12345u;
            b = static_cast<std::uint8_t>(noise >> 16);
        }
    }
    for (int f = 0; f < spec.frames; ++f) {
        if (f == 0) {
            movie.placeObject2(PlaceObject::place(1, spriteId, Matrix::translation(2000, 2000)));
        } else {
            movie.placeObject2(PlaceObject::modify(1, Matrix::translation(2000 + 100 * f, 2000)));
        }
        if (!padding.empty()) {
            movie.rawTag(1000, padding);  // a code no tag has: skipped by readers
        }
        movie.showFrame();
    }
    return movie;
}

Bytes movieBytes(const MovieSpec& spec, swfwriter::Compression c) {
    swfwriter::MovieWriter::Output out;
    out.compression = c;
    return makeMovie(spec).finish(out);
}

QString corpusDir() {
    const QString dir = QStringLiteral(ZD_SHARED_DIR "/corpus/real");
    return QFile::exists(dir + "/manifest.json") ? dir : QString();
}

}  // namespace zd::test
