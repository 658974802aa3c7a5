// zephyrdeck-avm1-trace: the interpreter's development harness. Runs the frame scripts of a
// movie against a stand-in player (no display list) and prints what they trace, and lists the
// actions of a movie. The conformance ratchet runs on the real player (the corpus runner); this
// tool separates interpreter faults from player faults.
//
//   zephyrdeck-avm1-trace MOVIE.swf [FRAMES]      trace output of the first FRAMES frames
//                                                 (default 1)
//   zephyrdeck-avm1-trace --case CASE_DIR         run one corpus case, show the differences
//   zephyrdeck-avm1-trace --corpus CORPUS_DIR [--list FILE]   run every trace case (each in its
//                                      own process, 20 s at most), print the pass count
//   zephyrdeck-avm1-trace --disasm MOVIE.swf      list the actions of every timeline, sprites
//                                                 included

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <thread>

#include "TraceCase.h"
#include "TraceHost.h"
#include "engine/avm1/ActionReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagWalker.h"

using namespace zd;

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
}

int runMovie(const std::string& path, int frames) {
    const auto bytes = readFile(path);
    avm1trace::ScriptedMovie movie;
    std::string why;
    if (!avm1trace::readScriptedMovie(bytes, movie, why)) {
        std::cerr << path << ": " << why << "\n";
        return 2;
    }
    avm1trace::TraceHost host(movie);
    avm1::Vm vm(host, movie.version, movie.limits.value_or(avm1::Limits{}));
    host.attachVm(&vm);
    for (int i = 0; i < frames && !host.quit; ++i) {
        host.stepFrame();
        host.clock += 1000.0 / movie.frameRate;
    }
    for (const auto& l : host.lines) {
        std::cout << l << "\n";
    }
    for (const auto& e : host.errors) {
        std::cerr << "script error: " << e << "\n";
    }
    return 0;
}

// Lists the tags of a timeline that matter to scripts, with the actions disassembled; sprites'
// timelines are listed inside their definitions.
void listTimeline(std::span<const std::uint8_t> data, std::size_t from, const std::string& indent) {
    engine::TagWalker walker(data, from);
    int frame = 1;
    while (auto tag = walker.next()) {
        const auto body = walker.body(*tag);
        switch (tag->code) {
            case 12:
                std::cout << indent << "--- frame " << frame << " actions\n"
                          << avm1::disassemble(body);
                break;
            case 59:
                if (body.size() >= 2) {
                    std::cout << indent << "--- frame " << frame << " init actions of sprite "
                              << (body[0] | (body[1] << 8)) << "\n"
                              << avm1::disassemble(body.subspan(2));
                }
                break;
            case 39:
                if (body.size() >= 4) {
                    std::cout << indent << "=== sprite " << (body[0] | (body[1] << 8)) << "\n";
                    listTimeline(body, 4, indent + "  ");
                    std::cout << indent << "=== end of sprite\n";
                }
                break;
            case 26:
            case 70:
                std::cout << indent << "place (tag " << tag->code << ", " << body.size()
                          << " bytes)\n";
                break;
            case 5:
            case 28:
                std::cout << indent << "remove\n";
                break;
            case 56:
                std::cout << indent << "export assets\n";
                break;
            case 1:
                ++frame;
                break;
            default:
                break;
        }
        if (tag->code == 0) {
            break;
        }
    }
}

int disasm(const std::string& path) {
    const auto bytes = readFile(path);
    auto movie = engine::MovieData::fromBytes(bytes);
    if (!movie || movie->header() == nullptr) {
        std::cerr << path << ": not a movie\n";
        return 2;
    }
    std::cout << "version " << int{movie->header()->version} << "\n";
    listTimeline(movie->data(), movie->header()->size, "");
    return 0;
}

int runCase(const std::string& dir) {
    const auto outcome = avm1trace::runTraceCase(dir);
    if (!outcome.ran) {
        std::cout << "SKIP " << outcome.detail << "\n";
        return 2;
    }
    if (outcome.passed) {
        std::cout << "PASS\n";
        return 0;
    }
    std::cout << "FAIL " << outcome.detail << "\n";
    QDir().mkpath("/tmp/avm1-trace");
    std::ofstream("/tmp/avm1-trace/expected.txt") << outcome.expected;
    std::ofstream("/tmp/avm1-trace/actual.txt") << outcome.actual;
    std::fflush(stdout);
    return std::system("diff /tmp/avm1-trace/expected.txt /tmp/avm1-trace/actual.txt | head -40") ==
                   0
               ? 1
               : 1;
}

// 0 pass, 1 fail, 2 skipped, 3 crashed, 4 timed out.
int runIsolated(const std::string& dir) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const auto outcome = avm1trace::runTraceCase(dir);
        _exit(!outcome.ran ? 2 : outcome.passed ? 0 : 1);
    }
    const auto start = std::chrono::steady_clock::now();
    while (true) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return 3;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return 4;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

int runCorpus(const std::string& root, const std::string& listFile) {
    QDir dir(QString::fromStdString(root));
    const auto entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    int passed = 0, failed = 0, crashed = 0, timedOut = 0, total = 0;
    std::ofstream list;
    if (!listFile.empty()) {
        list.open(listFile);
    }
    for (const QString& e : entries) {
        const std::string caseDir = root + "/" + e.toStdString();
        QFile manifest(QString::fromStdString(caseDir + "/manifest.json"));
        if (!manifest.open(QIODevice::ReadOnly) ||
            !manifest.readAll().contains("\"kind\": \"trace\"")) {
            continue;
        }
        ++total;
        const int r = runIsolated(caseDir);
        const char* word = r == 0 ? "PASS" : r == 3 ? "CRASH" : r == 4 ? "TIMEOUT" : "FAIL";
        std::cout << word << " " << e.toStdString() << "\n";
        if (r == 0) {
            ++passed;
            if (list) {
                list << e.toStdString() << "\n";
            }
        } else if (r == 3) {
            ++crashed;
        } else if (r == 4) {
            ++timedOut;
        } else {
            ++failed;
        }
    }
    std::cout << passed << " passed, " << (failed + crashed + timedOut) << " failed (" << crashed
              << " crashed, " << timedOut << " timed out) of " << total << " trace cases\n";
    return crashed + timedOut > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: avm1-trace MOVIE.swf [FRAMES] | --case DIR | --corpus DIR [--list "
                     "FILE] | --disasm MOVIE.swf\n";
        return 2;
    }
    const std::string first = argv[1];
    if (first == "--case" && argc >= 3) {
        return runCase(argv[2]);
    }
    if (first == "--corpus" && argc >= 3) {
        return runCorpus(argv[2], argc >= 5 && std::string(argv[3]) == "--list" ? argv[4] : "");
    }
    if (first == "--disasm" && argc >= 3) {
        return disasm(argv[2]);
    }
    return runMovie(first, argc >= 3 ? std::atoi(argv[2]) : 1);
}
