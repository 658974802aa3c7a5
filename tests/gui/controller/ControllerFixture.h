// What the controller tests share: the faked platform with the windows discarded after each
// test, movies written for the test with a known frame count, and clicks on image buttons.
#pragma once

#include <QTemporaryDir>
#include <QtTest>
#include <cstdint>
#include <memory>
#include <optional>

#include "../common/GuiFixture.h"
#include "app/FlashControl.h"
#include "engine/player/MovieRunner.h"
#include "mainwindow/Form1.h"
#include "swfwriter/SwfWriter.h"

namespace zd::testing {

class ControllerFixture : public GuiFixture {
  public:
    // A movie of `frames` frames; `headerFrames` makes the header claim another count (a long
    // movie without writing every frame).
    QString movie(const QString& name, int frames,
                  std::optional<std::uint16_t> headerFrames = std::nullopt) const {
        swfwriter::MovieWriter writer(8, {0, 4000, 0, 3000}, 12.0);
        writer.setBackgroundColor({10, 128, 240, 255});
        for (int i = 0; i < frames; ++i)
            writer.showFrame();
        swfwriter::MovieWriter::Output output;
        output.frameCount = headerFrames;
        const QString path = movies->filePath(name);
        if (!writer.save(path.toStdString(), output))
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

    // The main window loaded and shown, its movie clock driven by the test.
    static Form1& shownMainWindow() {
        Form1& main = form1();
        main.SwFlash->runner()->setClockMode(engine::MovieRunner::ClockMode::Manual);
        main.show();
        return main;
    }

    static void click(QWidget* widget) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    }
};

}  // namespace zd::testing
