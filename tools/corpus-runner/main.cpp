// zephyrdeck-corpus-runner [--passing LIST] [--keep DIR] [--without-actions] [--images | --traces]
//                          [CORPUS_DIR] [CASE...]
//
// Runs every image and trace case of the conformance corpus (or the cases named) on the
// player with its scripts. Image cases compare each picture with the expected one under the
// manifest's rules; trace cases compare the trace() output with the recorded text (numbers
// within the manifest's approximations). Prints one PASS or FAIL line per case and a closing
// "N passed, M failed". --without-actions keeps the image cases that need neither
// ActionScript nor video; --images and --traces keep one kind. With --passing, the cases
// listed in LIST must pass (exit status 1 when one fails) and the passes it does not list are
// printed so they can be added. Exit status 77 when the corpus is absent.
//
// Each trace case runs in a process of its own (this program with --run-trace CASE_DIR, which
// prints the trace output), so a movie that crashes or runs away costs one case.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSet>
#include <QTextStream>
#include <cstdio>

#include "CorpusCase.h"
#include "TraceRun.h"

namespace {

void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "corpus-runner: %s\n", qPrintable(message));
    }
}

QSet<QString> readList(const QString& path, bool* ok) {
    QSet<QString> names;
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly | QIODevice::Text);
    if (!*ok) {
        return names;
    }
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.isEmpty() && !line.startsWith(u'#')) {
            names.insert(line);
        }
    }
    return names;
}

// Seconds a trace case may take in its own process.
constexpr int kTraceCaseSeconds = 30;

int runTraceHere(const QString& dir) {
    zd::corpus::TraceCase c;
    if (!zd::corpus::readTraceCase(dir, c)) {
        std::fprintf(stderr, "corpus-runner: %s is not a trace case\n", qPrintable(dir));
        return 2;
    }
    const zd::corpus::TraceRun run = zd::corpus::runTraceMovie(c);
    if (!run.loaded) {
        std::fprintf(stderr, "corpus-runner: not a loadable movie\n");
        return 2;
    }
    std::fwrite(run.output.data(), 1, run.output.size(), stdout);
    for (const std::string& e : run.errors) {
        std::fprintf(stderr, "script error: %s\n", e.c_str());
    }
    return 0;
}

zd::corpus::CaseResult runTraceCase(const zd::corpus::TraceCase& c, const QString& keepDir) {
    zd::corpus::CaseResult result;
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--run-trace"), c.dir});
    child.start();
    if (!child.waitForFinished(kTraceCaseSeconds * 1000)) {
        child.kill();
        child.waitForFinished();
        result.detail = QStringLiteral("timed out");
        return result;
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        result.detail = child.exitStatus() != QProcess::NormalExit
                            ? QStringLiteral("crashed")
                            : QStringLiteral("exit status %1").arg(child.exitCode());
        return result;
    }
    const std::string actual = child.readAllStandardOutput().toStdString();
    if (!keepDir.isEmpty()) {
        QFile out(keepDir + "/" + c.name + ".actual.txt");
        if (out.open(QIODevice::WriteOnly)) {
            out.write(actual.data(), static_cast<qint64>(actual.size()));
        }
    }
    result.passed = zd::avm1trace::traceMatches(c.expected, actual, c.approx);
    if (!result.passed) {
        const QString errors = QString::fromUtf8(child.readAllStandardError()).trimmed();
        result.detail = QStringLiteral("trace differs");
        if (!errors.isEmpty()) {
            result.detail += QStringLiteral("; ") + errors.section(u'\n', 0, 0);
        }
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quietMessages);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString passingList;
    QString keepDir;
    QString corpus = QStringLiteral(ZD_SHARED_DIR "/corpus/ruffle");
    QStringList only;
    bool withoutActionsOnly = false;
    bool images = true;
    bool traces = true;
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && args[0] == u"--run-trace") {
        return runTraceHere(args[1]);
    }
    bool corpusGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--passing" && i + 1 < args.size()) {
            passingList = args[++i];
        } else if (args[i] == u"--keep" && i + 1 < args.size()) {
            keepDir = args[++i];
        } else if (args[i] == u"--without-actions") {
            withoutActionsOnly = true;
        } else if (args[i] == u"--images") {
            traces = false;
        } else if (args[i] == u"--traces") {
            images = false;
        } else if (args[i].startsWith(u"--")) {
            std::fprintf(stderr,
                         "usage: zephyrdeck-corpus-runner [--passing LIST] [--keep DIR] "
                         "[--without-actions] [--images | --traces] [CORPUS_DIR] [CASE...]\n");
            return 2;
        } else if (!corpusGiven && QFileInfo(args[i]).isDir()) {
            corpus = args[i];
            corpusGiven = true;
        } else {
            only.push_back(args[i]);
        }
    }
    if (!QFileInfo(corpus).isDir()) {
        std::printf("corpus %s is absent: nothing to run\n", qPrintable(corpus));
        return 77;
    }
    if (!keepDir.isEmpty()) {
        QDir().mkpath(keepDir);
    }
    QSet<QString> mustPass;
    if (!passingList.isEmpty()) {
        bool ok = false;
        mustPass = readList(passingList, &ok);
        if (!ok) {
            std::fprintf(stderr, "corpus-runner: cannot read %s\n", qPrintable(passingList));
            return 2;
        }
    }

    int passed = 0;
    int failed = 0;
    QStringList regressions;
    QStringList newPasses;
    const QStringList dirs = QDir(corpus).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : dirs) {
        if (!only.isEmpty() && !only.contains(name)) {
            continue;
        }
        zd::corpus::CorpusCase c;
        zd::corpus::TraceCase t;
        zd::corpus::CaseResult r;
        if (zd::corpus::readCase(corpus + "/" + name, c)) {
            if (!images || (withoutActionsOnly && !c.withoutActions)) {
                continue;
            }
            r = zd::corpus::runCase(c, keepDir);
        } else if (zd::corpus::readTraceCase(corpus + "/" + name, t)) {
            if (!traces) {
                continue;
            }
            r = runTraceCase(t, keepDir);
        } else {
            continue;
        }
        if (r.passed) {
            ++passed;
            std::printf("PASS %s\n", qPrintable(name));
            if (!passingList.isEmpty() && !mustPass.contains(name)) {
                newPasses.push_back(name);
            }
        } else {
            ++failed;
            std::printf("FAIL %s (%s)\n", qPrintable(name), qPrintable(r.detail));
            if (mustPass.contains(name)) {
                regressions.push_back(name);
            }
        }
        std::fflush(stdout);
    }
    if (!newPasses.isEmpty()) {
        std::printf("passing now but not listed in %s (add them):\n", qPrintable(passingList));
        for (const QString& n : newPasses) {
            std::printf("  %s\n", qPrintable(n));
        }
    }
    if (!regressions.isEmpty()) {
        std::printf("listed as passing but failed:\n");
        for (const QString& n : regressions) {
            std::printf("  %s\n", qPrintable(n));
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return regressions.isEmpty() ? 0 : 1;
}
