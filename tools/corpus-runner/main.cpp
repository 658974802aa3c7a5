// zephyrdeck-corpus-runner [--passing LIST] [--keep DIR] [--without-actions] [CORPUS_DIR] [CASE...]
//
// Runs every image case of the conformance corpus (or the cases named), compares each picture
// with the expected one under the manifest's rules, and prints one PASS or FAIL line per case
// and a closing "N passed, M failed". --without-actions keeps the cases that need neither
// ActionScript nor video. With --passing, the cases listed in LIST must pass (exit
// status 1 when one fails) and the passes it does not list are printed so they can be added.
// Exit status 77 when the corpus is absent.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSet>
#include <QTextStream>
#include <cstdio>

#include "CorpusCase.h"

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
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool corpusGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--passing" && i + 1 < args.size()) {
            passingList = args[++i];
        } else if (args[i] == u"--keep" && i + 1 < args.size()) {
            keepDir = args[++i];
        } else if (args[i] == u"--without-actions") {
            withoutActionsOnly = true;
        } else if (args[i].startsWith(u"--")) {
            std::fprintf(stderr,
                         "usage: zephyrdeck-corpus-runner [--passing LIST] [--keep DIR] "
                         "[--without-actions] [CORPUS_DIR] [CASE...]\n");
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
        if (!zd::corpus::readCase(corpus + "/" + name, c) ||
            (withoutActionsOnly && !c.withoutActions)) {
            continue;
        }
        const zd::corpus::CaseResult r = zd::corpus::runCase(c, keepDir);
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
