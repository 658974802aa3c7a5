#pragma once

// A small stand-in for the player around the interpreter: a root timeline that plays the
// movie's frame scripts, clips made by scripts, a virtual clock. Enough to run the movies
// whose scripts do not depend on what is drawn; the trace tool and the interpreter's tests
// use it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/avm1/Host.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1trace {

using avm1::DisplayId;

struct FrameScripts {
    std::vector<avm1::CodeOwner> initActions;  // DoInitAction bodies (sprite id stripped)
    std::vector<avm1::CodeOwner> actions;      // DoAction bodies
};

// The parts of a movie the stand-in needs.
struct ScriptedMovie {
    int version = 0;
    double frameRate = 12;
    std::vector<FrameScripts> frames;
    std::map<std::string, int> labels;   // frame label -> frame (from 1)
    std::optional<avm1::Limits> limits;  // from ScriptLimits
};

// Reads a SWF file's root timeline; false (and why) when it is not a movie.
bool readScriptedMovie(std::span<const std::uint8_t> file, ScriptedMovie& out, std::string& why);
// A movie of one frame per script, for tests.
ScriptedMovie movieOf(int version, const std::vector<avm1::Bytes>& frameScripts);

class TraceHost : public avm1::Host {
  public:
    explicit TraceHost(const ScriptedMovie& movie);

    // --- what the run produced ---
    std::vector<std::string> lines;
    std::vector<std::string> errors;
    std::vector<std::string> requests;  // getURL and loads, as "method url"
    bool quit = false;

    std::string baseDir;              // loads read files below it; empty: loads fail
    double clock = 0;                 // ms since start
    double wallClock = 981152406000;  // ms since 1970 for Date (a fixed moment)
    double utcOffset = 345;           // minutes east of UTC
    std::uint64_t seed = 1;

    // Host
    std::size_t maxLines = static_cast<std::size_t>(-1);  // traces kept (all are counted)
    std::size_t traceCount = 0;

    void trace(std::string_view line) override {
        if (++traceCount <= maxLines) {
            lines.emplace_back(line);
        }
    }
    double timer() override { return clock; }
    double now() override { return wallClock + clock; }
    double utcOffsetMinutes(double) override { return utcOffset; }
    std::uint32_t random(std::uint32_t bound) override;
    bool exists(DisplayId id) override { return clips_.count(id) != 0; }
    DisplayId root() override { return kRoot; }
    DisplayId level(int n) override { return n == 0 ? kRoot : avm1::kNoDisplay; }
    DisplayId parent(DisplayId id) override;
    DisplayId child(DisplayId id, std::string_view name, bool ignoreCase) override;
    std::vector<std::string> childNames(DisplayId id) override;
    Kind kind(DisplayId id) override;
    avm1::DisplayValue property(DisplayId id, avm1::DisplayProperty p) override;
    void setProperty(DisplayId id, avm1::DisplayProperty p, const avm1::DisplayValue& v) override;
    void gotoFrame(DisplayId id, int frame) override;
    void setPlaying(DisplayId id, bool playing) override;
    void nextFrame(DisplayId id) override;
    void prevFrame(DisplayId id) override;
    void callFrame(DisplayId id, int frame) override;
    std::optional<int> labelFrame(DisplayId id, std::string_view label) override;
    DisplayId duplicate(DisplayId id, std::string_view name, int depth) override;
    void remove(DisplayId id) override;
    DisplayId attach(DisplayId parent, std::string_view exportName, std::string_view name,
                     int depth) override;
    DisplayId createEmpty(DisplayId parent, std::string_view name, int depth) override;
    DisplayId createTextField(DisplayId parent, std::string_view name, int depth, double x,
                              double y, double width, double height) override;
    std::optional<int> depth(DisplayId id) override;
    void swapDepths(DisplayId id, int depth) override;
    int nextHighestDepth(DisplayId id) override;
    DisplayId instanceAtDepth(DisplayId parent, int depth) override;
    void startDrag(DisplayId, bool, std::optional<std::array<double, 4>>) override {}
    void stopDrag() override {}
    void getUrl(std::string_view url, std::string_view window, avm1::UrlMethod method,
                std::string_view variables) override;
    void loadMovie(DisplayId, std::string_view url, avm1::UrlMethod, std::string_view) override;
    void loadMovieLevel(int, std::string_view url, avm1::UrlMethod, std::string_view) override;
    void unloadMovie(DisplayId) override {}
    void loadVariables(DisplayId, std::string_view url, avm1::UrlMethod, std::string_view) override;
    void loadData(std::uint64_t requestId, std::string_view url, avm1::UrlMethod method,
                  std::string_view body) override;
    void scriptError(std::string_view message) override { errors.emplace_back(message); }
    std::optional<engine::FilterList> filters(DisplayId id) override {
        auto it = clips_.find(id);
        return it != clips_.end() ? std::optional(it->second.filters) : std::nullopt;
    }
    void setFilters(DisplayId id, engine::FilterList filters) override {
        if (auto it = clips_.find(id); it != clips_.end()) {
            it->second.filters = std::move(filters);
        }
    }

    // Connects the interpreter (the host runs frame scripts through it).
    void attachVm(avm1::Vm* vm) { vm_ = vm; }
    // Runs one frame of the root timeline: advance if playing, then the frame's scripts,
    // then timers. The first call shows frame 1.
    void stepFrame();
    // Advances the clock by ms, running frames as they fall due.
    void advance(double ms);
    int currentFrame() const { return clips_.at(kRoot).frame; }

    static constexpr DisplayId kRoot = 1;

  private:
    struct Clip {
        DisplayId parent = avm1::kNoDisplay;
        std::string name;
        int depth = 0;
        int frame = 1;
        int totalFrames = 1;
        bool playing = true;
        double x = 0, y = 0, xscale = 100, yscale = 100, alpha = 100, rotation = 0;
        bool visible = true;
        Kind kind = Kind::MovieClip;
        engine::FilterList filters;
    };
    DisplayId make(DisplayId parent, std::string_view name, int depth, Kind kind);
    void runFrameScripts(int frame);
    void removeTree(DisplayId id);

    const ScriptedMovie& movie_;
    avm1::Vm* vm_ = nullptr;
    std::map<DisplayId, Clip> clips_;
    DisplayId nextId_ = 2;
    bool started_ = false;
    int pendingGoto_ = 0;  // a goto made by a script: that frame's scripts run next
    double frameDue_ = 0;
    struct PendingLoad {
        std::uint64_t id;
        bool ok;
        std::string data;
    };
    std::vector<PendingLoad> loads_;
};

}  // namespace zd::avm1trace
