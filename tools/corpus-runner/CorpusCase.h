#pragma once

#include <QImage>
#include <QJsonObject>
#include <QString>
#include <vector>

namespace zd::corpus {

// One {tolerance, max_outliers} rule: at most maxOutliers colour channel values (R, G, B or A)
// may differ from the expected image by more than tolerance.
struct Check {
    int tolerance = 0;
    long maxOutliers = 0;
};

struct ExpectedImage {
    QString file;
    int step = -1;  // capture after this step; -1 for the last one
    std::vector<Check> checks;
};

struct CorpusCase {
    QString name;  // the folder name
    QString dir;
    bool frames = true;  // step unit: frames, or clock ticks
    int steps = 1;
    double tickMs = 0;  // ticks only; 0 for one frame interval
    QSize viewport;     // render size; empty for the stage size
    bool antialias = true;
    // Drawn by the movie alone: no ActionScript (frame, init or clip actions) and no video.
    bool withoutActions = true;
    std::vector<ExpectedImage> images;
};

// Reads a case's manifest; false when it is not an image case.
bool readCase(const QString& dir, CorpusCase& out);

// Channel values differing by more than tolerance (both images RGBA of the same size; a size
// mismatch counts every channel of the larger one).
long countOutliers(const QImage& actual, const QImage& expected, int tolerance);

struct CaseResult {
    bool passed = false;
    QString detail;  // why it failed
};

// Runs the movie and compares each expected image. keepDir, when set, receives the pictures
// rendered (NAME.FILE.actual.png).
CaseResult runCase(const CorpusCase& c, const QString& keepDir = {});

}  // namespace zd::corpus
