#include "TraceHost.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/avm1/MovieProperties.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagWalker.h"

namespace zd::avm1trace {

using avm1::DisplayProperty;
using avm1::DisplayValue;

namespace {

constexpr int kMaxGotosPerFrame = 64;

avm1::CodeOwner codeOf(std::span<const std::uint8_t> body) {
    return std::make_shared<const avm1::Bytes>(body.begin(), body.end());
}

}  // namespace

bool readScriptedMovie(std::span<const std::uint8_t> file, ScriptedMovie& out, std::string& why) {
    auto data = engine::MovieData::fromBytes(file);
    if (!data || data->header() == nullptr) {
        why = data ? data->problem() : "not a movie";
        return false;
    }
    const auto* header = data->header();
    out.version = header->version;
    out.frameRate = header->frameRate() > 0 ? header->frameRate() : 12;
    const auto bytes = data->data();
    FrameScripts current;
    engine::TagWalker walker(bytes, header->size);
    while (auto tag = walker.next()) {
        const auto body = walker.body(*tag);
        switch (tag->code) {
            case 12:  // DoAction
                current.actions.push_back(codeOf(body));
                break;
            case 59:  // DoInitAction
                if (body.size() > 2) {
                    current.initActions.push_back(codeOf(body.subspan(2)));
                }
                break;
            case 43: {  // FrameLabel
                std::string label;
                for (std::uint8_t c : body) {
                    if (c == 0) {
                        break;
                    }
                    label.push_back(static_cast<char>(c));
                }
                out.labels.emplace(label, static_cast<int>(out.frames.size()) + 1);
                break;
            }
            case 65:  // ScriptLimits
                if (body.size() >= 4) {
                    avm1::Limits l;
                    l.maxRecursion = body[0] | (body[1] << 8);
                    l.timeout = std::chrono::seconds(body[2] | (body[3] << 8));
                    out.limits = l;
                }
                break;
            case 1:  // ShowFrame
                out.frames.push_back(std::move(current));
                current = FrameScripts{};
                break;
            default:
                break;
        }
        if (tag->code == 0) {
            break;
        }
    }
    if (!current.actions.empty() || !current.initActions.empty() || out.frames.empty()) {
        out.frames.push_back(std::move(current));
    }
    return true;
}

ScriptedMovie movieOf(int version, const std::vector<avm1::Bytes>& frameScripts) {
    ScriptedMovie m;
    m.version = version;
    m.frameRate = 25;
    for (const auto& s : frameScripts) {
        FrameScripts f;
        f.actions.push_back(std::make_shared<const avm1::Bytes>(s));
        m.frames.push_back(std::move(f));
    }
    if (m.frames.empty()) {
        m.frames.emplace_back();
    }
    return m;
}

TraceHost::TraceHost(const ScriptedMovie& movie) : movie_(movie) {
    Clip root;
    root.totalFrames = static_cast<int>(movie.frames.size());
    root.frame = 1;
    clips_.emplace(kRoot, root);
}

std::uint32_t TraceHost::random(std::uint32_t bound) {
    // splitmix64: deterministic runs.
    seed += 0x9e3779b97f4a7c15ull;
    std::uint64_t z = seed;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    z ^= z >> 31;
    return bound == 0 ? 0 : static_cast<std::uint32_t>(z % bound);
}

DisplayId TraceHost::parent(DisplayId id) {
    auto it = clips_.find(id);
    return it == clips_.end() ? avm1::kNoDisplay : it->second.parent;
}

namespace {

bool sameName(std::string_view a, std::string_view b, bool ignoreCase) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (ignoreCase) {
            x = static_cast<char>(std::tolower(static_cast<unsigned char>(x)));
            y = static_cast<char>(std::tolower(static_cast<unsigned char>(y)));
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

}  // namespace

DisplayId TraceHost::child(DisplayId id, std::string_view name, bool ignoreCase) {
    for (const auto& [cid, c] : clips_) {
        if (c.parent == id && sameName(c.name, name, ignoreCase)) {
            return cid;
        }
    }
    return avm1::kNoDisplay;
}

std::vector<std::string> TraceHost::childNames(DisplayId id) {
    std::vector<std::pair<int, std::string>> byDepth;
    for (const auto& [cid, c] : clips_) {
        if (c.parent == id) {
            byDepth.emplace_back(c.depth, c.name);
        }
    }
    std::sort(byDepth.begin(), byDepth.end());
    std::vector<std::string> names;
    for (auto& [d, n] : byDepth) {
        names.push_back(n);
    }
    return names;
}

avm1::Host::Kind TraceHost::kind(DisplayId id) {
    auto it = clips_.find(id);
    return it == clips_.end() ? Kind::Other : it->second.kind;
}

DisplayValue TraceHost::property(DisplayId id, DisplayProperty p) {
    auto it = clips_.find(id);
    if (it == clips_.end()) {
        return {};
    }
    const Clip& c = it->second;
    switch (p) {
        case DisplayProperty::X:
            return c.x;
        case DisplayProperty::Y:
            return c.y;
        case DisplayProperty::XScale:
            return c.xscale;
        case DisplayProperty::YScale:
            return c.yscale;
        case DisplayProperty::CurrentFrame:
            return static_cast<double>(c.frame);
        case DisplayProperty::TotalFrames:
        case DisplayProperty::FramesLoaded:
            return static_cast<double>(c.totalFrames);
        case DisplayProperty::Alpha:
            return c.alpha;
        case DisplayProperty::Visible:
            return c.visible;
        case DisplayProperty::Width:
        case DisplayProperty::Height:
            return 0.0;
        case DisplayProperty::Rotation:
            return c.rotation;
        case DisplayProperty::Target: {
            std::string path;
            for (DisplayId cur = id; cur != kRoot && cur != avm1::kNoDisplay;
                 cur = clips_.at(cur).parent) {
                path = "/" + clips_.at(cur).name + path;
            }
            return path.empty() ? std::string("/") : path;
        }
        case DisplayProperty::Name:
            return c.name;
        case DisplayProperty::DropTarget:
            return std::string();
        case DisplayProperty::Url:
            return std::string("file:///test.swf");
        case DisplayProperty::HighQuality:
        case DisplayProperty::FocusRect:
        case DisplayProperty::SoundBufTime:
        case DisplayProperty::Quality:
        case DisplayProperty::XMouse:
        case DisplayProperty::YMouse:
            return avm1::movieWideProperty(p);
    }
    return {};
}

void TraceHost::setProperty(DisplayId id, DisplayProperty p, const DisplayValue& v) {
    auto it = clips_.find(id);
    if (it == clips_.end()) {
        return;
    }
    Clip& c = it->second;
    const double* d = std::get_if<double>(&v);
    auto num = [&](double& field) {
        if (d != nullptr && std::isfinite(*d)) {
            field = *d;
        }
    };
    switch (p) {
        case DisplayProperty::X:
            num(c.x);
            break;
        case DisplayProperty::Y:
            num(c.y);
            break;
        case DisplayProperty::XScale:
            num(c.xscale);
            break;
        case DisplayProperty::YScale:
            num(c.yscale);
            break;
        case DisplayProperty::Alpha:
            num(c.alpha);
            break;
        case DisplayProperty::Rotation:
            num(c.rotation);
            break;
        case DisplayProperty::Visible:
            if (const bool* b = std::get_if<bool>(&v)) {
                c.visible = *b;
            } else if (d != nullptr && !std::isnan(*d)) {
                c.visible = *d != 0;
            }
            break;
        case DisplayProperty::Name:
            if (const std::string* s = std::get_if<std::string>(&v)) {
                c.name = *s;
            }
            break;
        default:
            break;
    }
}

void TraceHost::gotoFrame(DisplayId id, int frame) {
    auto it = clips_.find(id);
    if (it == clips_.end()) {
        return;
    }
    const int target = std::clamp(frame, 1, it->second.totalFrames);
    if (id == kRoot && target != it->second.frame) {
        pendingGoto_ = target;
    }
    it->second.frame = target;
}

void TraceHost::setPlaying(DisplayId id, bool playing) {
    if (auto it = clips_.find(id); it != clips_.end()) {
        it->second.playing = playing;
    }
}

void TraceHost::nextFrame(DisplayId id) {
    if (auto it = clips_.find(id); it != clips_.end()) {
        gotoFrame(id, it->second.frame + 1);
        it->second.playing = false;
    }
}

void TraceHost::prevFrame(DisplayId id) {
    if (auto it = clips_.find(id); it != clips_.end()) {
        gotoFrame(id, it->second.frame - 1);
        it->second.playing = false;
    }
}

void TraceHost::callFrame(DisplayId id, int frame) {
    if (id != kRoot || vm_ == nullptr || frame < 1 ||
        frame > static_cast<int>(movie_.frames.size())) {
        return;
    }
    for (const auto& code : movie_.frames[static_cast<std::size_t>(frame - 1)].actions) {
        vm_->runActions(code, kRoot);
    }
}

std::optional<int> TraceHost::labelFrame(DisplayId id, std::string_view label) {
    if (id != kRoot) {
        return std::nullopt;
    }
    for (const auto& [name, frame] : movie_.labels) {
        if (sameName(name, label, true)) {
            return frame;
        }
    }
    return std::nullopt;
}

DisplayId TraceHost::make(DisplayId parent, std::string_view name, int depth, Kind kind) {
    if (clips_.count(parent) == 0) {
        return avm1::kNoDisplay;
    }
    // A new object at an occupied depth replaces what was there.
    for (auto it = clips_.begin(); it != clips_.end(); ++it) {
        if (it->second.parent == parent && it->second.depth == depth) {
            removeTree(it->first);
            break;
        }
    }
    Clip c;
    c.parent = parent;
    c.name = std::string(name);
    c.depth = depth;
    c.kind = kind;
    const DisplayId id = nextId_++;
    clips_.emplace(id, c);
    return id;
}

void TraceHost::removeTree(DisplayId id) {
    std::vector<DisplayId> kids;
    for (const auto& [cid, c] : clips_) {
        if (c.parent == id) {
            kids.push_back(cid);
        }
    }
    for (DisplayId k : kids) {
        removeTree(k);
    }
    clips_.erase(id);
    if (vm_ != nullptr) {
        vm_->forgetClip(id);
    }
}

DisplayId TraceHost::duplicate(DisplayId id, std::string_view name, int depth) {
    auto it = clips_.find(id);
    if (it == clips_.end() || id == kRoot) {
        return avm1::kNoDisplay;
    }
    const Clip original = it->second;
    const DisplayId made = make(original.parent, name, depth, original.kind);
    if (made != avm1::kNoDisplay) {
        Clip& c = clips_.at(made);
        c.x = original.x;
        c.y = original.y;
        c.xscale = original.xscale;
        c.yscale = original.yscale;
        c.alpha = original.alpha;
        c.rotation = original.rotation;
        c.visible = original.visible;
    }
    return made;
}

void TraceHost::remove(DisplayId id) {
    auto it = clips_.find(id);
    // Only clips made by scripts (at depths from 0 up) can be removed.
    if (it == clips_.end() || id == kRoot || it->second.depth < 0) {
        return;
    }
    removeTree(id);
}

DisplayId TraceHost::attach(DisplayId, std::string_view, std::string_view, int) {
    return avm1::kNoDisplay;  // no library symbols without a display list
}

DisplayId TraceHost::createEmpty(DisplayId parent, std::string_view name, int depth) {
    return make(parent, name, depth, Kind::MovieClip);
}

DisplayId TraceHost::createTextField(DisplayId parent, std::string_view name, int depth, double x,
                                     double y, double, double) {
    const DisplayId id = make(parent, name, depth, Kind::TextField);
    if (id != avm1::kNoDisplay) {
        clips_.at(id).x = x;
        clips_.at(id).y = y;
    }
    return id;
}

std::optional<int> TraceHost::depth(DisplayId id) {
    auto it = clips_.find(id);
    if (it == clips_.end()) {
        return std::nullopt;
    }
    return id == kRoot ? -16384 : it->second.depth;
}

void TraceHost::swapDepths(DisplayId id, int depth) {
    auto it = clips_.find(id);
    if (it == clips_.end() || id == kRoot) {
        return;
    }
    for (auto& [cid, c] : clips_) {
        if (cid != id && c.parent == it->second.parent && c.depth == depth) {
            c.depth = it->second.depth;
        }
    }
    it->second.depth = depth;
}

int TraceHost::nextHighestDepth(DisplayId id) {
    int highest = -1;
    for (const auto& [cid, c] : clips_) {
        if (c.parent == id) {
            highest = std::max(highest, c.depth);
        }
    }
    return highest + 1;
}

DisplayId TraceHost::instanceAtDepth(DisplayId parent, int depth) {
    for (const auto& [cid, c] : clips_) {
        if (c.parent == parent && c.depth == depth) {
            return cid;
        }
    }
    return avm1::kNoDisplay;
}

void TraceHost::getUrl(std::string_view url, std::string_view window, avm1::UrlMethod,
                       std::string_view) {
    const std::string u(url);
    if (u.rfind("FSCommand:", 0) == 0 || u.rfind("fscommand:", 0) == 0) {
        if (u.substr(10) == "quit") {
            quit = true;
        }
        return;
    }
    requests.push_back("getURL " + u + " " + std::string(window));
}

void TraceHost::loadMovie(DisplayId, std::string_view url, avm1::UrlMethod, std::string_view) {
    requests.push_back("loadMovie " + std::string(url));
}

void TraceHost::loadMovieLevel(int, std::string_view url, avm1::UrlMethod, std::string_view) {
    requests.push_back("loadMovie " + std::string(url));
}

void TraceHost::loadVariables(DisplayId, std::string_view url, avm1::UrlMethod, std::string_view) {
    requests.push_back("loadVariables " + std::string(url));
}

void TraceHost::loadData(std::uint64_t requestId, std::string_view url, avm1::UrlMethod,
                         std::string_view) {
    requests.push_back("load " + std::string(url));
    PendingLoad load{requestId, false, {}};
    const std::string u(url);
    // Only plain relative names below the movie's folder.
    if (!baseDir.empty() && u.find("..") == std::string::npos && u.find(':') == std::string::npos &&
        !u.empty() && u[0] != '/') {
        std::ifstream in(baseDir + "/" + u, std::ios::binary);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            load.ok = true;
            load.data = text.str();
        }
    }
    loads_.push_back(std::move(load));
}

void TraceHost::runFrameScripts(int frame) {
    if (vm_ == nullptr || frame < 1 || frame > static_cast<int>(movie_.frames.size())) {
        return;
    }
    const FrameScripts& f = movie_.frames[static_cast<std::size_t>(frame - 1)];
    for (const auto& code : f.initActions) {
        vm_->runActions(code, kRoot);
    }
    for (const auto& code : f.actions) {
        vm_->runActions(code, kRoot);
    }
}

void TraceHost::stepFrame() {
    std::optional<avm1::Vm::TickBudget> budget;
    if (vm_ != nullptr) {
        budget.emplace(*vm_);
    }
    Clip& root = clips_.at(kRoot);
    // A timeline of one frame stays on it: its scripts run once.
    const bool moves = !started_ || (root.playing && root.totalFrames > 1);
    if (started_ && moves) {
        root.frame = root.frame >= root.totalFrames ? 1 : root.frame + 1;
    }
    started_ = true;
    pendingGoto_ = 0;
    if (moves) {
        runFrameScripts(root.frame);
    }
    for (int i = 0; i < kMaxGotosPerFrame && pendingGoto_ != 0; ++i) {
        const int target = pendingGoto_;
        pendingGoto_ = 0;
        runFrameScripts(target);
    }
    std::vector<PendingLoad> due;
    due.swap(loads_);
    for (auto& l : due) {
        if (vm_ != nullptr) {
            vm_->deliverLoad(l.id, l.ok, l.data);
        }
    }
    if (vm_ != nullptr) {
        vm_->runTimers(clock);
    }
}

void TraceHost::advance(double ms) {
    const double interval = 1000.0 / movie_.frameRate;
    const double end = clock + ms;
    while (frameDue_ < end - 1e-9 && !quit) {
        clock = std::max(clock, frameDue_);
        stepFrame();
        frameDue_ += interval;
    }
    clock = end;
    if (vm_ != nullptr && !quit) {
        vm_->runTimers(clock);
    }
}

}  // namespace zd::avm1trace
