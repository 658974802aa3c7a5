#include "TraceCase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

#include "TraceHost.h"

namespace zd::avm1trace {

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = text.find('\n', i);
        if (j == std::string::npos) {
            j = text.size();
        }
        std::string line = text.substr(i, j - i);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        i = j + 1;
    }
    return lines;
}

bool numbersClose(double a, double b, const Approximations& approx) {
    if (std::isnan(a) && std::isnan(b)) {
        return true;
    }
    if (a == b) {
        return true;
    }
    const double diff = std::fabs(a - b);
    if (approx.epsilon > 0 && diff <= approx.epsilon) {
        return true;
    }
    if (approx.maxRelative > 0 &&
        diff <= approx.maxRelative * std::max(std::fabs(a), std::fabs(b))) {
        return true;
    }
    return false;
}

bool lineMatches(const std::string& e, const std::string& a, const Approximations& approx) {
    if (e == a) {
        return true;
    }
    if (!approx.enabled) {
        return false;
    }
    bool ok = false;
    const double de = std::strtod(e.c_str(), nullptr);
    const double da = std::strtod(a.c_str(), nullptr);
    char* endE = nullptr;
    char* endA = nullptr;
    std::strtod(e.c_str(), &endE);
    std::strtod(a.c_str(), &endA);
    if (!e.empty() && !a.empty() && *endE == '\0' && *endA == '\0') {
        return numbersClose(de, da, approx);
    }
    for (const auto& pattern : approx.numberPatterns) {
        const QRegularExpression re(QString::fromStdString(pattern));
        const auto me = re.match(QString::fromStdString(e));
        const auto ma = re.match(QString::fromStdString(a));
        if (!me.hasMatch() || !ma.hasMatch() || me.lastCapturedIndex() != ma.lastCapturedIndex()) {
            continue;
        }
        // The text around the captures must agree; the captures are numbers within bounds.
        QString restE = QString::fromStdString(e);
        QString restA = QString::fromStdString(a);
        bool numbers = true;
        for (int i = me.lastCapturedIndex(); i >= 1; --i) {
            bool okE = false, okA = false;
            const double x = me.captured(i).toDouble(&okE);
            const double y = ma.captured(i).toDouble(&okA);
            if (!okE || !okA || !numbersClose(x, y, approx)) {
                numbers = false;
                break;
            }
            restE.replace(me.capturedStart(i), me.capturedLength(i), "#");
            restA.replace(ma.capturedStart(i), ma.capturedLength(i), "#");
        }
        if (numbers && restE == restA) {
            ok = true;
            break;
        }
    }
    return ok;
}

}  // namespace

bool traceMatches(const std::string& expected, const std::string& actual,
                  const Approximations& approx) {
    if (expected == actual) {
        return true;
    }
    const auto e = splitLines(expected);
    const auto a = splitLines(actual);
    if (e.size() != a.size()) {
        return false;
    }
    for (std::size_t i = 0; i < e.size(); ++i) {
        if (!lineMatches(e[i], a[i], approx)) {
            return false;
        }
    }
    return true;
}

CaseOutcome runTraceCase(const std::string& dir) {
    CaseOutcome out;
    QFile manifestFile(QString::fromStdString(dir + "/manifest.json"));
    if (!manifestFile.open(QIODevice::ReadOnly)) {
        out.detail = "no manifest";
        return out;
    }
    const QJsonObject m = QJsonDocument::fromJson(manifestFile.readAll()).object();
    if (m.value("kind").toString() != "trace") {
        out.detail = "not a trace case";
        return out;
    }
    const QJsonArray traces = m.value("traces").toArray();
    if (traces.isEmpty()) {
        out.detail = "no expected trace";
        return out;
    }
    const QJsonObject trace = traces.at(0).toObject();
    std::string expected;
    if (!trace.value("empty").toBool()) {
        QFile f(QString::fromStdString(dir + "/" + trace.value("file").toString().toStdString()));
        if (!f.open(QIODevice::ReadOnly)) {
            out.detail = "no expected output";
            return out;
        }
        expected = f.readAll().toStdString();
    }
    Approximations approx;
    if (m.value("approximations").isObject()) {
        const QJsonObject a = m.value("approximations").toObject();
        approx.enabled = true;
        approx.epsilon = a.value("epsilon").toDouble(0);
        approx.maxRelative = a.value("max_relative").toDouble(0);
        for (const auto& p : a.value("number_patterns").toArray()) {
            approx.numberPatterns.push_back(p.toString().toStdString());
        }
    }
    QFile swf(QString::fromStdString(dir + "/test.swf"));
    if (!swf.open(QIODevice::ReadOnly)) {
        out.detail = "no movie";
        return out;
    }
    const QByteArray bytes = swf.readAll();
    ScriptedMovie movie;
    std::string why;
    if (!readScriptedMovie({reinterpret_cast<const std::uint8_t*>(bytes.data()),
                            static_cast<std::size_t>(bytes.size())},
                           movie, why)) {
        out.detail = "unreadable movie: " + why;
        return out;
    }
    out.ran = true;
    TraceHost host(movie);
    host.baseDir = dir;
    avm1::Vm vm(host, movie.version, movie.limits.value_or(avm1::Limits{}));
    host.attachVm(&vm);
    const int steps = m.value("num_frames").toInt(1);
    const bool frames = m.value("step_unit").toString() != "ticks";
    const double interval = 1000.0 / movie.frameRate;
    const double tick =
        m.value("tick_rate_ms").isDouble() ? m.value("tick_rate_ms").toDouble() : interval;
    for (int i = 0; i < steps && !host.quit; ++i) {
        if (frames) {
            host.stepFrame();
            host.clock += interval;
        } else {
            host.advance(tick);
        }
    }
    for (const auto& l : host.lines) {
        out.actual += l;
        out.actual += '\n';
    }
    out.expected = expected;
    out.passed = traceMatches(expected, out.actual, approx);
    if (!host.errors.empty()) {
        out.detail = host.errors.front();
    }
    return out;
}

}  // namespace zd::avm1trace
