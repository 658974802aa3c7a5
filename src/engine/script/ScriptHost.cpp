#include "engine/script/ScriptHost.h"

#include "engine/script/ClipDrawing.h"
#include "engine/script/TextFields.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTimeZone>
#include <QUrl>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "engine/avm1/InputLib.h"
#include "engine/avm1/Library.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/Bounds.h"
#include "engine/render/CharacterCache.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/script/InputRouter.h"
#include "engine/swf/BitmapDecoder.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagWalker.h"

namespace zd::script {

using avm1::DisplayId;
using avm1::DisplayProperty;
using avm1::DisplayValue;
using avm1::kNoDisplay;
using engine::DisplayObject;
using engine::Timeline;

namespace {

// Runs what follows with the SWF version of the movie the code came from.
class VersionScope {
  public:
    VersionScope(avm1::Vm& vm, int version) : vm_(vm), saved_(vm.swfVersion()) {
        vm_.setSwfVersion(version);
    }
    ~VersionScope() { vm_.setSwfVersion(saved_); }
    VersionScope(const VersionScope&) = delete;
    VersionScope& operator=(const VersionScope&) = delete;

  private:
    avm1::Vm& vm_;
    int saved_;
};

// The text of a loaded file as scripts get it. Movies before SWF 6 read text in the system's
// code page (Western here); later ones read UTF-8, without a byte-order mark.
std::string textOfLoad(std::string_view bytes, int swfVersion) {
    if (swfVersion <= 5) {
        QStringDecoder decode("windows-1252");
        const QString text =
            decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        return text.toStdString();
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

// "blank" in any case, with or without its underscore, is the new window; other names stay
// as written.
std::string normalizedWindow(std::string_view window) {
    const QString w = QString::fromUtf8(window.data(), static_cast<qsizetype>(window.size()));
    if (w.compare(u"blank", Qt::CaseInsensitive) == 0 ||
        w.compare(u"_blank", Qt::CaseInsensitive) == 0) {
        return "_blank";
    }
    return std::string(window);
}

// The ScriptLimits tag of the root timeline, if the movie has one.
std::optional<avm1::Limits> scriptLimits(const engine::MovieData& movie) {
    if (movie.header() == nullptr) {
        return std::nullopt;
    }
    engine::TagWalker walker(movie.data(), movie.header()->size);
    while (auto tag = walker.next()) {
        if (tag->code == 0) {
            break;
        }
        if (tag->code == 65 && tag->length >= 4) {
            const auto body = walker.body(*tag);
            avm1::Limits l;
            l.maxRecursion = body[0] | (body[1] << 8);
            l.timeout = std::chrono::seconds(body[2] | (body[3] << 8));
            if (l.maxRecursion <= 0) {
                l.maxRecursion = avm1::Limits{}.maxRecursion;
            }
            if (l.timeout.count() <= 0) {
                l.timeout = avm1::Limits{}.timeout;
            }
            return l;
        }
    }
    return std::nullopt;
}

double toDegrees(double radians) {
    return radians * 180.0 / std::numbers::pi;
}

double toRadians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Twips as stored: positions keep 1/20 pixel.
std::int32_t toTwips(double pixels) {
    if (!std::isfinite(pixels)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    const double t = std::round(pixels * 20.0);
    return static_cast<std::int32_t>(std::clamp(t, -2147483647.0, 2147483647.0));
}

// The depths scripts may make objects at (the timeline's tags use those below zero).
constexpr std::int64_t kMinMadeDepth = -16384;
constexpr std::int64_t kMaxMadeDepth = 2130690044;
// removeMovieClip leaves the topmost few of those alone.
constexpr std::int64_t kMaxRemovableDepth = 2130690031;

bool scriptDepth(std::int64_t depth) {
    return depth >= kMinMadeDepth && depth <= kMaxMadeDepth;
}

// A number a property takes; NaN leaves the property as it is.
// Shapes, static text, morphs and bitmaps have no object of their own for scripts: a
// name or depth reaching one gives the clip it is drawn in.
bool hasOwnObject(const DisplayObject& o) {
    if (o.isClip() || o.character() == nullptr) {
        return true;
    }
    switch (o.character()->kind) {
        case engine::Character::Kind::EditText:
        case engine::Character::Kind::Button:
        case engine::Character::Kind::Video:
            return true;
        default:
            return false;
    }
}

const double* numberOf(const DisplayValue& v) {
    const double* d = std::get_if<double>(&v);
    return d != nullptr && !std::isnan(*d) ? d : nullptr;
}

constexpr std::array<const char*, 4> kQualityNames{"LOW", "MEDIUM", "HIGH", "BEST"};

double finiteOrZero(double v) {
    return std::isfinite(v) ? v : 0.0;
}

}  // namespace

ScriptHost::ScriptHost(engine::StagePlayer& player, const engine::MovieData& movie)
    : player_(player), movie_(movie) {
    const int version = movie.header() != nullptr ? movie.header()->version : 10;
    vm_ = std::make_unique<avm1::Vm>(*this, version, scriptLimits(movie).value_or(avm1::Limits{}));
    renderHooks_ = std::make_unique<engine::RenderHooks>(engine::standardRenderHooks());
    characters_ = std::make_unique<engine::CharacterCache>(*renderHooks_);
    characters_->setContext(&player_.context());
    input_ = std::make_unique<InputRouter>(*this);
    menus_ = std::make_unique<MovieMenus>(*vm_);
    textFields_ = std::make_unique<TextFields>(player_, *characters_);
    textFields_->setVm(vm_.get());
    player_.setScriptHooks(this);
    describeSystem(vm_->global());
}

void ScriptHost::describeSystem(avm1::Object* global) {
    avm1::Vm& vm = *vm_;
    const avm1::Value system = vm.get(avm1::Value(global), "System");
    avm1::Object* caps = vm.get(system, "capabilities").asObject();
    if (caps != nullptr && screenResolution_) {
        vm.define(caps, "screenResolutionX",
                  avm1::Value(static_cast<double>((*screenResolution_)[0])), 0);
        vm.define(caps, "screenResolutionY",
                  avm1::Value(static_cast<double>((*screenResolution_)[1])), 0);
    }
}

void ScriptHost::realmMade(avm1::Object* global) {
    describeSystem(global);
}

ScriptHost::~ScriptHost() {
    player_.setScriptHooks(nullptr);
    budget_.reset();
}

// --- Output and clocks ---

void ScriptHost::trace(std::string_view line) {
    if (onTrace) {
        onTrace(line);
    }
}

double ScriptHost::timer() {
    return player_.movieTime();
}

double ScriptHost::now() {
    if (fixedNow_) {
        return *fixedNow_ + player_.movieTime();
    }
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch());
}

double ScriptHost::utcOffsetMinutes(double utcMs) {
    if (fixedNow_) {
        return fixedOffset_;
    }
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(utcMs), Qt::UTC);
    return QTimeZone::systemTimeZone().offsetFromUtc(at) / 60.0;
}

std::uint32_t ScriptHost::random(std::uint32_t bound) {
    return bound == 0 ? 0 : std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(random_);
}

void ScriptHost::scriptError(std::string_view message) {
    ++errors_;
    if (onError) {
        onError(message);
    }
}

// --- The display tree ---

DisplayObject* ScriptHost::find(DisplayId id) const {
    if (id == kNoDisplay) {
        return nullptr;
    }
    if (DisplayObject* o = player_.context().find(id)) {
        return o;
    }
    if (id == player_.root().id()) {
        return &player_.root();
    }
    for (DisplayObject* o : unloading_) {
        if (o->id() == id) {
            return o;
        }
    }
    return nullptr;
}

bool ScriptHost::exists(DisplayId id) {
    return find(id) != nullptr;
}

DisplayId ScriptHost::root() {
    // _root is the top of the running script's level, or a loaded movie's clip that locks
    // it (_lockroot).
    if (resolvingRoot_) {
        return player_.root().id();
    }
    resolvingRoot_ = true;
    const DisplayId target = vm_->currentTarget();
    resolvingRoot_ = false;
    return rootOf(target);
}

DisplayId ScriptHost::rootOf(DisplayId id) {
    if (resolvingRoot_) {
        return player_.root().id();
    }
    const DisplayObject* o = find(id);
    for (int guard = 0; o != nullptr && guard < 1000; ++guard) {
        const DisplayObject* up = o->parent();
        if (up == nullptr) {
            return player_.levelOf(*o) >= 0 ? o->id() : player_.root().id();
        }
        if (o->timeline() != nullptr && o->timeline()->loadedRoot()) {
            if (avm1::Object* self = vm_->clipObject(o->id()); self != nullptr) {
                // Reading _lockroot may run a getter that asks for _root again.
                resolvingRoot_ = true;
                const bool locked = vm_->toBoolean(vm_->get(avm1::Value(self), "_lockroot"));
                resolvingRoot_ = false;
                if (locked) {
                    return o->id();
                }
            }
        }
        o = up;
    }
    return player_.root().id();
}

DisplayId ScriptHost::level(int n) {
    const DisplayObject* o = n >= 0 ? player_.level(n) : nullptr;
    return o != nullptr ? o->id() : kNoDisplay;
}

DisplayId ScriptHost::parent(DisplayId id) {
    const DisplayObject* o = find(id);
    const DisplayObject* p = o != nullptr ? o->parent() : nullptr;
    if (o != nullptr && p == nullptr && o->removed()) {
        // While it unloads, a removed clip is still where it was.
        p = find(o->formerParent());
    }
    return p != nullptr ? p->id() : kNoDisplay;
}

DisplayId ScriptHost::child(DisplayId id, std::string_view name, bool ignoreCase) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->timeline() == nullptr || name.empty()) {
        return kNoDisplay;
    }
    const DisplayObject* c = o->timeline()->childByName(name, ignoreCase);
    if (c == nullptr) {
        return kNoDisplay;
    }
    return hasOwnObject(*c) ? c->id() : id;
}

std::vector<std::string> ScriptHost::childNames(DisplayId id) {
    std::vector<std::string> names;
    const DisplayObject* o = find(id);
    if (o == nullptr || o->timeline() == nullptr) {
        return names;
    }
    for (const auto& [depth, child] : o->timeline()->objects()) {
        if (!child->name().empty()) {
            names.push_back(child->name());
        }
    }
    return names;
}

avm1::Host::Kind ScriptHost::kind(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr) {
        return Kind::Other;
    }
    if (o->isClip()) {
        return Kind::MovieClip;
    }
    if (o->character() != nullptr) {
        switch (o->character()->kind) {
            case engine::Character::Kind::EditText:
                return Kind::TextField;
            case engine::Character::Kind::Button:
                return Kind::Button;
            case engine::Character::Kind::Video:
                return Kind::Video;
            default:
                break;
        }
    }
    return Kind::Other;
}

ScriptHost::Geometry& ScriptHost::geometry(DisplayObject& object) {
    Geometry& g = geometry_[object.id()];
    const engine::Matrix& m = object.matrix();
    if (!(g.seen == m) || (m == engine::Matrix{} && g.xscale == 100 && g.yscale == 100)) {
        // The timeline moved it since: take the scales and the rotation from the matrix.
        g.seen = m;
        g.xscale = std::hypot(m.a, m.b) * 100.0;
        g.yscale = std::hypot(m.c, m.d) * 100.0;
        if (m.a * m.d - m.b * m.c < 0) {
            g.yscale = -g.yscale;
        }
        g.rotation = (m.a == 0 && m.b == 0) ? 0.0 : toDegrees(std::atan2(m.b, m.a));
    }
    return g;
}

void ScriptHost::applyGeometry(DisplayObject& object, const Geometry& g) {
    engine::Matrix m = object.matrix();
    const double r = toRadians(g.rotation);
    const double sx = g.xscale / 100.0;
    const double sy = g.yscale / 100.0;
    m.a = sx * std::cos(r);
    m.b = sx * std::sin(r);
    m.c = -sy * std::sin(r);
    m.d = sy * std::cos(r);
    // Infinite scales and rotations are kept for scripts to read back; drawn, they vanish.
    m.a = finiteOrZero(m.a);
    m.b = finiteOrZero(m.b);
    m.c = finiteOrZero(m.c);
    m.d = finiteOrZero(m.d);
    object.setMatrix(m);
    Geometry& kept = geometry_[object.id()];
    kept = g;
    kept.seen = object.matrix();
}

namespace {

// Where a rectangle lands under t, each corner on whole twips as the player keeps points.
QRectF mapRectToTwips(const QTransform& t, const QRectF& r) {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool first = true;
    for (const QPointF& corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
        const QPointF p = t.map(corner);
        const double x = std::round(p.x());
        const double y = std::round(p.y());
        x0 = first ? x : std::min(x0, x);
        y0 = first ? y : std::min(y0, y);
        x1 = first ? x : std::max(x1, x);
        y1 = first ? y : std::max(y1, y);
        first = false;
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

}  // namespace

double ScriptHost::bound(DisplayObject& object, bool height) {
    flushDrawings();
    const QRectF local = engine::characterBounds(object, *characters_, 0, true);
    if (local.isEmpty()) {
        return 0.0;
    }
    const engine::Matrix& m = object.matrix();
    const QRectF r = mapRectToTwips(QTransform(m.a, m.b, m.c, m.d, 0, 0), local);
    return (height ? r.height() : r.width()) / 20.0;
}

QTransform ScriptHost::toStage(const DisplayObject& object) const {
    QTransform t;
    for (const DisplayObject* o = &object; o != nullptr && !o->isRoot(); o = o->parent()) {
        const engine::Matrix& m = o->matrix();
        t = t * QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
    }
    return t;
}

QTransform ScriptHost::levelMatrix(const DisplayObject& object) const {
    const DisplayObject* o = &object;
    while (o != nullptr && !o->isRoot()) {
        o = o->parent();
    }
    if (o == nullptr) {
        return {};
    }
    const engine::Matrix& m = o->matrix();
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

std::optional<std::array<double, 4>> ScriptHost::bounds(DisplayId id, DisplayId space,
                                                        bool /*strokes*/) {
    flushDrawings();
    DisplayObject* o = find(id);
    DisplayObject* s = space != kNoDisplay ? find(space) : nullptr;
    if (o == nullptr || (space != kNoDisplay && s == nullptr)) {
        return std::nullopt;
    }
    const QRectF local = engine::characterBounds(*o, *characters_, 0, true);
    if (local.isNull()) {  // nothing drawn
        return std::nullopt;
    }
    bool invertible = true;
    const QTransform fromStage = s != nullptr ? toStage(*s).inverted(&invertible) : QTransform();
    if (!invertible) {
        return std::nullopt;
    }
    // On the stage itself the level's turn counts: a turned box only grows.
    const QTransform onStage = s != nullptr ? toStage(*o) : toStage(*o) * levelMatrix(*o);
    const QRectF r = (onStage * fromStage).mapRect(local);
    return std::array<double, 4>{r.left() / 20.0, r.top() / 20.0, r.right() / 20.0,
                                 r.bottom() / 20.0};
}

void ScriptHost::setScreenResolution(int width, int height) {
    if (width < 1 || height < 1) {
        return;
    }
    screenResolution_ = std::array<int, 2>{width, height};
    for (avm1::Object* global : vm_->globals()) {
        describeSystem(global);
    }
}

std::optional<std::array<double, 2>> ScriptHost::mapPoint(DisplayId id, double x, double y,
                                                          bool toStageCoordinates) {
    DisplayObject* o = find(id);
    if (o == nullptr) {
        return std::nullopt;
    }
    // The stage here lies under the level's own matrix too; points land on whole twips.
    const QTransform t = toStage(*o) * levelMatrix(*o);
    if (!toStageCoordinates) {
        const double det = t.m11() * t.m22() - t.m12() * t.m21();
        if (det == 0 || !std::isfinite(det)) {
            return std::nullopt;
        }
        const QPointF p = pointerIn(t, x, y);
        return std::array<double, 2>{p.x() / 20.0, p.y() / 20.0};
    }
    const QPointF p = t.map(QPointF(x * 20.0, y * 20.0));
    return std::array<double, 2>{std::round(p.x()) / 20.0, std::round(p.y()) / 20.0};
}

bool ScriptHost::hitTest(DisplayId id, double x, double y, bool shape) {
    flushDrawings();
    DisplayObject* o = find(id);
    if (o == nullptr) {
        return false;
    }
    if (!shape) {
        // The point is in the level's coordinates, the bounds the box the stage sees: a turned
        // level widens the box around its contents.
        const auto b = bounds(id, kNoDisplay, true);
        const QPointF p = levelMatrix(*o).map(QPointF(x * 20.0, y * 20.0)) / 20.0;
        return b && p.x() >= (*b)[0] && p.x() <= (*b)[2] && p.y() >= (*b)[1] && p.y() <= (*b)[3];
    }
    return input_->hits(*o, QPointF(x * 20.0, y * 20.0), true);
}

void ScriptHost::startDrag(DisplayId id, bool lockCenter,
                           std::optional<std::array<double, 4>> bounds) {
    input_->startDrag(id, lockCenter, bounds);
}

void ScriptHost::stopDrag() {
    input_->stopDrag();
}

void ScriptHost::warning(std::string_view text) {
    trace(text);  // the player's warnings show among the trace lines
}

void ScriptHost::inputEvent(const engine::InputEvent& event) {
    input_->handle(event);
}

bool ScriptHost::handCursor() {
    return input_->overHandCursor();
}

bool ScriptHost::mouseHidden() {
    return vm_->input().mouseHidden;
}

avm1::CodeOwner ScriptHost::buttonCode(const engine::CharacterPtr& button) {
    auto it = buttonCode_.find(button.get());
    if (it == buttonCode_.end()) {
        const auto* def = button->as<engine::ButtonDefinition>();
        auto owner = std::make_shared<const avm1::Bytes>(
            def != nullptr ? def->actions : std::vector<std::uint8_t>{});
        it = buttonCode_.emplace(button.get(), std::move(owner)).first;
    }
    return it->second;
}

bool ScriptHost::focusRect(const DisplayObject& object) const {
    auto it = focusRects_.find(object.id());
    if (it == focusRects_.end()) {
        it = focusRects_.find(player_.root().id());
    }
    return it == focusRects_.end() || it->second;
}

void ScriptHost::runClipAction(DisplayObject& object, const engine::ClipAction& action) {
    const auto bytes = player_.context().bytes(action.code);
    const VersionScope version(*vm_, player_.context().sourceOf(action.code).version);
    vm_->runActions(codeAt(action.code.begin, bytes), object.id());
}

DisplayValue ScriptHost::property(DisplayId id, DisplayProperty p) {
    DisplayObject* o = find(id);
    if (o == nullptr) {
        return {};
    }
    const Timeline* t = o->timeline();
    switch (p) {
        case DisplayProperty::X:
            return o->matrix().tx / 20.0;
        case DisplayProperty::Y:
            return o->matrix().ty / 20.0;
        case DisplayProperty::XScale:
            return geometry(*o).xscale;
        case DisplayProperty::YScale:
            return geometry(*o).yscale;
        case DisplayProperty::Rotation:
            return geometry(*o).rotation;
        case DisplayProperty::CurrentFrame:
            return t != nullptr ? static_cast<double>(std::max(t->currentFrame(), 0) + 1) : 1.0;
        case DisplayProperty::TotalFrames:
            if (t == nullptr) {
                return 1.0;
            }
            if (o == &player_.root() && movie_.header() != nullptr) {
                return static_cast<double>(movie_.header()->frameCount);
            }
            return static_cast<double>(t->frameCount());
        case DisplayProperty::FramesLoaded:
            return t != nullptr ? static_cast<double>(t->showableFrames()) : 1.0;
        case DisplayProperty::Alpha:
            return o->colorTransform().mult[3] * 100.0 / 256.0;
        case DisplayProperty::Visible:
            return o->visible();
        case DisplayProperty::Width:
            return bound(*o, false);
        case DisplayProperty::Height:
            return bound(*o, true);
        case DisplayProperty::Target:
            return vm_->slashPath(id);
        case DisplayProperty::Name:
            return o->name();
        case DisplayProperty::DropTarget:
            return input_->dropTarget(id);
        case DisplayProperty::Url: {
            // A loaded movie answers with its own file; the player's movie with where it came
            // from, or its folder when that is not known.
            const auto asked = askedUrls_.find(id);
            const std::string& loaded = asked != askedUrls_.end() ? asked->second
                                        : t == nullptr            ? std::string()
                                        : t->loadedImage()        ? t->loadedImage()->url
                                                                  : t->source().url;
            const QUrl address(QString::fromStdString(loaded));
            if (!loaded.empty() && !address.isRelative()) {
                return loaded;
            }
            if (!movieUrl_.empty()) {
                return loaded.empty() ? movieUrl_
                                      : QUrl(QString::fromStdString(movieUrl_))
                                            .resolved(address)
                                            .toString()
                                            .toStdString();
            }
            if (baseDir_.empty()) {
                return std::string();
            }
            const QUrl base = QUrl::fromLocalFile(QString::fromStdString(baseDir_) + "/");
            return loaded.empty() ? base.toString().toStdString()
                                  : base.resolved(address).toString().toStdString();
        }
        case DisplayProperty::FocusRect: {
            // Version 5 movies read the flag as a number.
            const auto flag = [this](bool b) {
                return vm_->swfVersion() < 6 ? DisplayValue(b ? 1.0 : 0.0) : DisplayValue(b);
            };
            const auto it = focusRects_.find(id);
            if (it != focusRects_.end()) {
                return flag(it->second);
            }
            return o->isRoot() ? flag(true) : DisplayValue();
        }
        case DisplayProperty::HighQuality:
            return quality_ == 0 ? 0.0 : quality_ == 3 ? 2.0 : 1.0;
        case DisplayProperty::SoundBufTime:
            return static_cast<double>(soundBufTime_);
        case DisplayProperty::Quality:
            return std::string(kQualityNames[static_cast<std::size_t>(quality_)]);
        case DisplayProperty::XMouse:
        case DisplayProperty::YMouse: {
            const QPointF local = pointerIn(toStage(*o), input_->mouseX(), input_->mouseY());
            return (p == DisplayProperty::XMouse ? local.x() : local.y()) / 20.0;
        }
    }
    return {};
}

void ScriptHost::setProperty(DisplayId id, DisplayProperty p, const DisplayValue& v) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    const double* d = numberOf(v);
    switch (p) {
        case DisplayProperty::X:
        case DisplayProperty::Y:
            if (d != nullptr) {
                engine::Matrix m = o->matrix();
                (p == DisplayProperty::X ? m.tx : m.ty) = toTwips(*d);
                Geometry g = geometry(*o);
                o->setMatrix(m);
                g.seen = o->matrix();
                geometry_[id] = g;
            }
            break;
        case DisplayProperty::XScale:
        case DisplayProperty::YScale:
        case DisplayProperty::Rotation:
            if (d != nullptr) {
                Geometry g = geometry(*o);
                if (p == DisplayProperty::XScale) {
                    g.xscale = *d;
                } else if (p == DisplayProperty::YScale) {
                    g.yscale = *d;
                } else {
                    double r = std::fmod(*d, 360.0);
                    if (r > 180.0) {
                        r -= 360.0;
                    } else if (r < -180.0) {
                        r += 360.0;
                    }
                    g.rotation = r;
                }
                applyGeometry(*o, g);
            }
            break;
        case DisplayProperty::Width:
        case DisplayProperty::Height:
            if (d != nullptr && !std::isfinite(*d)) {
                break;
            }
            if (d != nullptr && o->textField() != nullptr) {
                // A text field's box changes, its text keeps its size.
                textFields_->resize(*o, p == DisplayProperty::Height, *d);
                break;
            }
            if (d != nullptr && *d >= 0) {
                const bool height = p == DisplayProperty::Height;
                const double now = bound(*o, height);
                Geometry g = geometry(*o);
                double& scale = height ? g.yscale : g.xscale;
                if (now > 0) {
                    scale = scale * *d / now;
                    applyGeometry(*o, g);
                }
            }
            break;
        case DisplayProperty::Alpha:
            if (d != nullptr) {
                engine::ColorTransform c = o->colorTransform();
                c.mult[3] =
                    std::isfinite(*d)
                        ? static_cast<std::int16_t>(std::clamp(*d * 2.56, -32768.0, 32767.0))
                        : std::int16_t{0};
                o->setColorTransform(c);
            }
            break;
        case DisplayProperty::Visible:
            if (const bool* b = std::get_if<bool>(&v)) {
                o->setVisible(*b);
            } else if (d != nullptr) {
                o->setVisible(*d != 0);
            }
            if (!o->visible() && vm_->input().focus == id) {
                avm1::moveFocus(*vm_, avm1::kNoDisplay);  // hidden, it cannot keep the focus
            }
            break;
        case DisplayProperty::Name:
            if (const std::string* s = std::get_if<std::string>(&v)) {
                o->setName(*s);
            }
            break;
        case DisplayProperty::FocusRect:
            if (const bool* b = std::get_if<bool>(&v)) {
                focusRects_[id] = *b;
            } else if (d != nullptr) {
                focusRects_[id] = *d != 0;
            } else if (std::holds_alternative<std::monostate>(v) && !o->isRoot()) {
                focusRects_.erase(id);
            }
            break;
        case DisplayProperty::HighQuality:
            if (d != nullptr) {
                const double level = std::trunc(*d);
                quality_ = level == 0 ? 0 : level >= 2 ? 3 : 2;
            }
            break;
        case DisplayProperty::Quality:
            if (const std::string* s = std::get_if<std::string>(&v)) {
                for (std::size_t i = 0; i < kQualityNames.size(); ++i) {
                    if (QString::fromStdString(*s).compare(QLatin1String(kQualityNames[i]),
                                                           Qt::CaseInsensitive) == 0) {
                        quality_ = static_cast<int>(i);
                    }
                }
            }
            break;
        case DisplayProperty::SoundBufTime:
            if (d != nullptr) {
                soundBufTime_ = std::abs(*d) < 2147483648.0
                                    ? static_cast<std::int32_t>(*d)
                                    : std::numeric_limits<std::int32_t>::min();
            }
            break;
        default:
            break;
    }
}

// --- Timelines ---

void ScriptHost::gotoFrame(DisplayId id, int frame) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || o->timeline() == nullptr) {
        return;
    }
    // A frame past the end is the last one there is, shown without its actions (they belong
    // to the frame asked for, which has none).
    Timeline& t = *o->timeline();
    const bool pastEnd = frame > static_cast<int>(t.showableFrames());
    auto& queued = player_.context().work().frameActions;
    const std::size_t before = queued.size();
    t.gotoFrame(std::max(frame, 1) - 1);
    if (pastEnd && queued.size() > before) {
        const DisplayId clip = o->id();
        queued.erase(std::remove_if(
                         queued.begin() + static_cast<std::ptrdiff_t>(before), queued.end(),
                         [clip](const engine::QueuedAction& a) {
                             return a.target == clip && a.kind == engine::QueuedAction::Kind::Frame;
                         }),
                     queued.end());
    }
}

void ScriptHost::setPlaying(DisplayId id, bool playing) {
    DisplayObject* o = find(id);
    if (o != nullptr && o->timeline() != nullptr) {
        o->timeline()->setPlaying(playing);
    }
}

void ScriptHost::nextFrame(DisplayId id) {
    DisplayObject* o = find(id);
    if (o != nullptr && !o->removed() && o->timeline() != nullptr) {
        Timeline& t = *o->timeline();
        t.gotoFrame(t.currentFrame() + 1);
        t.setPlaying(false);
    }
}

void ScriptHost::prevFrame(DisplayId id) {
    DisplayObject* o = find(id);
    if (o != nullptr && !o->removed() && o->timeline() != nullptr) {
        Timeline& t = *o->timeline();
        t.gotoFrame(std::max(t.currentFrame() - 1, 0));
        t.setPlaying(false);
    }
}

void ScriptHost::callFrame(DisplayId id, int frame) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->timeline() == nullptr || frame < 1) {
        return;
    }
    for (const engine::ByteRange& r : o->timeline()->frameActions(frame - 1)) {
        const auto bytes = player_.context().bytes(r);
        vm_->runActions(codeAt(r.begin, bytes), id);
    }
}

std::optional<int> ScriptHost::labelFrame(DisplayId id, std::string_view label) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->timeline() == nullptr) {
        return std::nullopt;
    }
    // A label written the same way wins over an earlier one that differs in case.
    if (auto f = o->timeline()->labelFrame(label, false)) {
        return *f + 1;
    }
    if (auto f = o->timeline()->labelFrame(label, true)) {
        return *f + 1;
    }
    return std::nullopt;
}

// --- Making and removing clips ---

DisplayId ScriptHost::duplicate(DisplayId id, std::string_view name, int depth) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || o->isRoot() || o->parentTimeline() == nullptr ||
        !scriptDepth(depth)) {
        return kNoDisplay;
    }
    DisplayObject* made = o->parentTimeline()->duplicate(*o, depth, std::string(name));
    if (made == nullptr) {
        return kNoDisplay;
    }
    // The copy draws on where the original's drawing left off.
    if (const auto it = drawings_.find(id); it != drawings_.end() && it->second) {
        auto copy = std::make_unique<ClipDrawing>(*it->second);
        drawings_[made->id()] = std::move(copy);
        staleDrawings_.insert(made->id());
    }
    return made->id();
}

void ScriptHost::remove(DisplayId id) {
    DisplayObject* o = find(id);
    // Only depths scripts own can be emptied by a script.
    if (o == nullptr || o->removed() || o->isRoot() || o->parentTimeline() == nullptr ||
        o->depth() < 0 || o->depth() > kMaxRemovableDepth) {
        return;
    }
    // The focus leaves with what holds it, while the listeners can still name it.
    for (DisplayObject* f = find(vm().input().focus); f != nullptr; f = f->parent()) {
        if (f == o) {
            avm1::moveFocus(vm(), kNoDisplay);
            o = find(id);
            if (o == nullptr || o->removed() || o->parentTimeline() == nullptr) {
                return;
            }
            break;
        }
    }
    o->parentTimeline()->remove(*o);
}

std::string ScriptHost::symbolName(const DisplayObject& object) const {
    // The symbols of the movie the object was placed from.
    const engine::Timeline* home = object.parentTimeline();
    const engine::MovieSource& source =
        home != nullptr ? home->source() : player_.context().mainSource();
    for (const auto& [name, character] : source.dictionary->exports()) {
        if (character == object.characterId() && object.characterId() != 0) {
            return name;
        }
    }
    return {};
}

namespace {

// A loaded file's translucent pixels take their colour scaled down to a whole level, not to
// the nearest one.
std::uint32_t premultipliedDown(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    auto scale = [a](std::uint32_t c) { return c * a / 255; };
    return a << 24 | scale(argb >> 16 & 0xff) << 16 | scale(argb >> 8 & 0xff) << 8 |
           scale(argb & 0xff);
}

}  // namespace

engine::CharacterPtr ScriptHost::loadedImage(const std::string& data) {
    QImage image = QImage::fromData(QByteArrayView(reinterpret_cast<const uchar*>(data.data()),
                                                   static_cast<qsizetype>(data.size())));
    if (image.isNull() || !engine::bitmapSizeAllowed(image.width(), image.height())) {
        return nullptr;
    }
    image = image.convertToFormat(QImage::Format_ARGB32);
    auto words = std::make_shared<std::vector<std::uint32_t>>();
    words->reserve(static_cast<std::size_t>(image.width()) *
                   static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            words->push_back(premultipliedDown(row[x]));
        }
    }
    auto c = std::make_shared<engine::Character>();
    c->kind = engine::Character::Kind::Bitmap;
    c->def = engine::ScriptBitmap{image.width(), image.height(), std::move(words), false};
    return c;
}

DisplayId ScriptHost::attachBitmap(DisplayId parentId, int depth, int width, int height,
                                   std::shared_ptr<const std::vector<std::uint32_t>> pixels,
                                   bool smoothing) {
    DisplayObject* p = find(parentId);
    if (p == nullptr || p->removed() || p->timeline() == nullptr || !scriptDepth(depth) ||
        pixels == nullptr ||
        pixels->size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return kNoDisplay;
    }
    auto c = std::make_shared<engine::Character>();
    c->kind = engine::Character::Kind::Bitmap;
    c->def = engine::ScriptBitmap{width, height, std::move(pixels), smoothing};
    DisplayObject* made = p->timeline()->placeCharacter(depth, 0, c, std::string());
    return made != nullptr ? made->id() : kNoDisplay;
}

std::optional<std::vector<std::uint32_t>> ScriptHost::drawClip(DisplayId id, int width, int height,
                                                               const std::array<double, 6>& m) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || o->timeline() == nullptr || width <= 0 || height <= 0) {
        return std::nullopt;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return std::nullopt;
    }
    image.fill(Qt::transparent);
    // A renderer of its own: the stage's keeps its caches for the stage. The picture is cut to
    // the image, so a clip far larger than the bitmap costs no more than the bitmap.
    engine::Renderer renderer(engine::standardRenderHooks());
    const QTransform toPixels = QTransform::fromScale(1.0 / 20.0, 1.0 / 20.0) *
                                QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    renderer.renderTimeline(image, *o->timeline(), toPixels, player_.context(), false);
    std::vector<std::uint32_t> words;
    words.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        words.insert(words.end(), row, row + width);
    }
    return words;
}

std::optional<avm1::Host::Pixels> ScriptHost::exportedBitmap(DisplayId from,
                                                             std::string_view name) {
    DisplayObject* o = find(from);
    const engine::MovieSource& source = o != nullptr && o->timeline() != nullptr
                                            ? o->timeline()->source()
                                            : player_.context().mainSource();
    const auto& exports = source.dictionary->exports();
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    auto it = std::find_if(exports.begin(), exports.end(), [&wanted](const auto& e) {
        return QString::fromStdString(e.first).compare(wanted, Qt::CaseInsensitive) == 0;
    });
    if (it == exports.end()) {
        return std::nullopt;
    }
    engine::CharacterPtr c = source.character(it->second);
    const auto* tag = c != nullptr ? c->as<engine::BitmapTag>() : nullptr;
    if (tag == nullptr) {
        return std::nullopt;
    }
    const auto decoded =
        engine::decodeBitmapTag(tag->code, tag->body, source.dictionary->jpegTables(source.data));
    if (!decoded || decoded->image.isNull()) {
        return std::nullopt;
    }
    const QImage image = decoded->image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    Pixels out;
    out.width = image.width();
    out.height = image.height();
    out.argb.reserve(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        out.argb.insert(out.argb.end(), row, row + out.width);
    }
    return out;
}

DisplayId ScriptHost::attach(DisplayId parentId, std::string_view exportName, std::string_view name,
                             int depth) {
    DisplayObject* p = find(parentId);
    if (p == nullptr || p->removed() || p->timeline() == nullptr || !scriptDepth(depth)) {
        return kNoDisplay;
    }
    // A clip of a loaded movie attaches that movie's symbols.
    const engine::MovieSource& source = p->timeline()->source();
    const auto& exports = source.dictionary->exports();
    auto it = exports.find(std::string(exportName));
    if (it == exports.end()) {
        it = std::find_if(exports.begin(), exports.end(), [exportName](const auto& e) {
            return QString::fromStdString(e.first).compare(
                       QString::fromUtf8(exportName.data(),
                                         static_cast<qsizetype>(exportName.size())),
                       Qt::CaseInsensitive) == 0;
        });
    }
    if (it == exports.end()) {
        return kNoDisplay;
    }
    engine::CharacterPtr c = source.character(it->second);
    if (c == nullptr || c->kind != engine::Character::Kind::Sprite) {
        return kNoDisplay;
    }
    DisplayObject* made = p->timeline()->placeCharacter(depth, it->second, c, std::string(name));
    if (made == nullptr) {
        return kNoDisplay;
    }
    // The registered class's prototype is there before the init object's properties are
    // copied: its setters see them.
    const avm1::Value ctor = registeredClass(*made);
    avm1::Object* self = vm_->clipObject(made->id());
    if (ctor.isObject() && self != nullptr) {
        if (const avm1::Value proto = vm_->get(ctor, "prototype"); proto.isObject()) {
            self->setProtoLink(proto.object());
        }
    }
    return made->id();
}

DisplayId ScriptHost::createEmpty(DisplayId parentId, std::string_view name, int depth) {
    DisplayObject* p = find(parentId);
    if (p == nullptr || p->removed() || p->timeline() == nullptr || !scriptDepth(depth)) {
        return kNoDisplay;
    }
    DisplayObject* made = p->timeline()->placeCharacter(
        depth, 0, player_.context().emptyClipCharacter(), std::string(name));
    return made != nullptr ? made->id() : kNoDisplay;
}

DisplayId ScriptHost::createTextField(DisplayId parentId, std::string_view name, int depth,
                                      double x, double y, double width, double height) {
    DisplayObject* p = find(parentId);
    if (p == nullptr || p->removed() || p->timeline() == nullptr || !scriptDepth(depth)) {
        return kNoDisplay;
    }
    auto twips = [](double px) {
        return static_cast<std::int32_t>(std::isfinite(px) ? std::clamp(px * 20, -2e8, 2e8) : 0);
    };
    engine::EditTextDefinition def;
    def.bounds = {0, std::max(0, twips(width)), 0, std::max(0, twips(height))};
    auto c = std::make_shared<engine::Character>();
    c->kind = engine::Character::Kind::EditText;
    c->def = std::move(def);
    DisplayObject* made = p->timeline()->placeCharacter(depth, 0, std::move(c), std::string(name));
    if (made == nullptr) {
        return kNoDisplay;
    }
    engine::Matrix m;
    m.tx = twips(x);
    m.ty = twips(y);
    made->setMatrix(m);
    return made->id();
}

avm1::TextFieldHost* ScriptHost::textFields() {
    return textFields_.get();
}

void ScriptHost::draw(DisplayId id, const avm1::DrawCommand& command) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || o->timeline() == nullptr) {
        return;
    }
    // Drawings of clips that went are dropped now and then.
    if (drawings_.size() > 64) {
        for (auto it = drawings_.begin(); it != drawings_.end();) {
            it = find(it->first) == nullptr ? drawings_.erase(it) : std::next(it);
        }
    }
    auto& drawing = drawings_[id];
    if (!drawing) {
        drawing = std::make_unique<ClipDrawing>();
    }
    drawing->apply(command);
    // The shape is made once the script is done drawing, not for every edge.
    staleDrawings_.insert(id);
    player_.context().changed();
}

void ScriptHost::flushDrawings() {
    for (const DisplayId id : staleDrawings_) {
        DisplayObject* o = find(id);
        const auto it = drawings_.find(id);
        if (o != nullptr && !o->removed() && it != drawings_.end()) {
            o->setDrawing(it->second->shape());
        }
    }
    staleDrawings_.clear();
}

void ScriptHost::setMask(DisplayId id, DisplayId maskId) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    if (DisplayObject* old = find(o->scriptMask())) {
        old->setMasksByScript(false);
    }
    DisplayObject* mask = maskId != kNoDisplay ? find(maskId) : nullptr;
    if (mask == nullptr || mask == o) {
        o->setScriptMask(engine::kNoInstance);
        return;
    }
    o->setScriptMask(mask->id());
    mask->setMasksByScript(true);
}

std::optional<avm1::Host::ScrollRect> ScriptHost::scrollRect(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || !o->scrollRect()) {
        return std::nullopt;
    }
    const engine::ScrollRect& r = *o->scrollRect();
    return ScrollRect{r.x / 20, r.y / 20, r.width / 20, r.height / 20};
}

void ScriptHost::setScrollRect(DisplayId id, std::optional<ScrollRect> rect) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    engine::DisplayProperties p = o->properties();
    p.scrollRect.reset();
    if (rect) {
        // Far beyond any stage: kept within what twips can address.
        auto twips = [](double v) { return std::clamp(v * 20, -1e9, 1e9); };
        p.scrollRect = engine::ScrollRect{twips((*rect)[0]), twips((*rect)[1]), twips((*rect)[2]),
                                          twips((*rect)[3])};
    }
    o->setProperties(p);
}

std::optional<std::uint32_t> ScriptHost::opaqueBackground(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || !o->opaqueBackground()) {
        return std::nullopt;
    }
    const engine::Rgba c = *o->opaqueBackground();
    return (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

void ScriptHost::setOpaqueBackground(DisplayId id, std::optional<std::uint32_t> rgb) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    engine::DisplayProperties p = o->properties();
    p.opaqueBackground.reset();
    if (rgb) {
        p.opaqueBackground = engine::Rgba{static_cast<std::uint8_t>(*rgb >> 16),
                                          static_cast<std::uint8_t>(*rgb >> 8),
                                          static_cast<std::uint8_t>(*rgb), 255};
    }
    o->setProperties(p);
}

bool ScriptHost::cacheAsBitmap(DisplayId id) {
    const DisplayObject* o = find(id);
    return o != nullptr && !o->removed() && o->cacheAsBitmap();
}

void ScriptHost::setCacheAsBitmap(DisplayId id, bool cache) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    engine::DisplayProperties p = o->properties();
    p.cacheAsBitmap = cache;
    o->setProperties(p);
}

std::optional<avm1::Host::ColorTransform> ScriptHost::colorTransform(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return std::nullopt;
    }
    const engine::ColorTransform& c = o->colorTransform();
    return ColorTransform{c.mult[0], c.mult[1], c.mult[2], c.mult[3],
                          c.add[0],  c.add[1],  c.add[2],  c.add[3]};
}

void ScriptHost::setColorTransform(DisplayId id, const ColorTransform& c) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    engine::ColorTransform t;
    t.mult = {c[0], c[1], c[2], c[3]};
    t.add = {c[4], c[5], c[6], c[7]};
    o->setColorTransform(t);
}

std::optional<std::uint8_t> ScriptHost::blendMode(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return std::nullopt;
    }
    return o->blendMode();
}

void ScriptHost::setBlendMode(DisplayId id, std::uint8_t mode) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    engine::DisplayProperties p = o->properties();
    p.blendMode = mode;
    o->setProperties(p);
}

std::optional<engine::FilterList> ScriptHost::filters(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return std::nullopt;
    }
    return o->filters() ? *o->filters() : engine::FilterList{};
}

void ScriptHost::setFilters(DisplayId id, engine::FilterList filters) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed()) {
        return;
    }
    engine::DisplayProperties p = o->properties();
    p.filters =
        filters.empty() ? nullptr : std::make_shared<const engine::FilterList>(std::move(filters));
    o->setProperties(p);
}

void ScriptHost::clipMade(DisplayId id) {
    if (DisplayObject* o = find(id); o != nullptr && !o->removed()) {
        construct(*o);
    }
}

std::optional<int> ScriptHost::depth(DisplayId id) {
    const DisplayObject* o = find(id);
    if (o == nullptr) {
        return std::nullopt;
    }
    return o->isRoot() ? engine::kTimelineDepthOffset : o->depth();
}

void ScriptHost::swapDepths(DisplayId id, int depth) {
    DisplayObject* o = find(id);
    if (o == nullptr || o->removed() || o->isRoot() || o->parentTimeline() == nullptr ||
        !scriptDepth(depth)) {
        return;
    }
    o->parentTimeline()->swapDepths(*o, depth);
}

void ScriptHost::setViewSize(int width, int height) {
    if (width < 0 || height < 0) {
        return;
    }
    const std::array<int, 2> size{width, height};
    if (viewSize_ == size) {
        return;
    }
    const auto before = stageSize(true);
    viewSize_ = size;
    // Only a stage that follows the view changes size with it.
    if (vm_->stageSettings().scaleMode == "noScale" && stageSize(true) != before) {
        resizePending_ = true;
    }
}

std::string ScriptHost::sandboxType(DisplayId clip) {
    // A movie from the web is remote; one played from a file reads files beside it, or the
    // network when it asks to.
    const DisplayObject* o = find(clip);
    const engine::Timeline* t = o != nullptr ? o->timeline() : nullptr;
    const std::string& loaded = t != nullptr ? t->source().url : std::string();
    const QUrl address(QString::fromStdString(loaded.empty() ? movieUrl_ : loaded));
    const QString scheme = address.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        return "remote";
    }
    return player_.dictionary().useNetwork() ? "localWithNetwork" : "localWithFile";
}

std::array<double, 2> ScriptHost::stageSize(bool noScale) {
    if (noScale && viewSize_) {
        return {static_cast<double>((*viewSize_)[0]), static_cast<double>((*viewSize_)[1])};
    }
    const engine::MovieHeader* header = movie_.header();
    if (header == nullptr) {
        return {0.0, 0.0};
    }
    return {static_cast<double>(header->frameSize.width()) / 20.0,
            static_cast<double>(header->frameSize.height()) / 20.0};
}

std::optional<avm1::Host::MovieInfo> ScriptHost::movieInfo(DisplayId id) {
    const DisplayObject* o = find(id);
    const Timeline* t = o != nullptr ? o->timeline() : nullptr;
    if (t == nullptr) {
        return std::nullopt;
    }
    const engine::MovieSource& source = t->source();
    MovieInfo info;
    if (const auto& image = t->loadedImage()) {
        info.version = -1;  // no movie
        info.bytesTotal = info.bytesLoaded = static_cast<double>(image->bytes);
        return info;
    }
    info.version = source.version;
    const engine::SpriteDefinition* sprite =
        o->character() != nullptr ? o->character()->as<engine::SpriteDefinition>() : nullptr;
    if (sprite != nullptr && !t->loadedRoot()) {
        info.bytesTotal = info.bytesLoaded = sprite->byteLength;
        return info;
    }
    const engine::MovieData& movie = source.movie != nullptr ? *source.movie : movie_;
    if (const engine::MovieHeader* header = movie.header()) {
        info.bytesTotal = header->fileLength;
        info.bytesLoaded = movie.complete()
                               ? info.bytesTotal
                               : std::min<double>(info.bytesTotal, movie.data().size());
    }
    return info;
}

int ScriptHost::nextHighestDepth(DisplayId id) {
    const DisplayObject* o = find(id);
    return o != nullptr && o->timeline() != nullptr ? o->timeline()->nextHighestDepth() : 0;
}

DisplayId ScriptHost::instanceAtDepth(DisplayId parentId, int depth) {
    const DisplayObject* p = find(parentId);
    if (p == nullptr || p->timeline() == nullptr) {
        return kNoDisplay;
    }
    const DisplayObject* o = p->timeline()->at(depth);
    if (o == nullptr) {
        return kNoDisplay;
    }
    return hasOwnObject(*o) ? o->id() : parentId;
}

// --- Requests ---

void ScriptHost::getUrl(std::string_view url, std::string_view window, avm1::UrlMethod method,
                        std::string_view variables) {
    if (onUrl) {
        onUrl(
            UrlRequest{std::string(url), normalizedWindow(window), method, std::string(variables)});
    }
}

void ScriptHost::loadMovie(DisplayId target, std::string_view url, avm1::UrlMethod,
                           std::string_view) {
    PendingLoad load;
    load.movie = PendingLoad::Movie::Load;
    load.movieTarget = target;
    load.url = std::string(url);
    if (auto bytes = readLocal(url)) {
        load.ok = true;
        load.data = std::move(*bytes);
    } else if (onFetch) {
        // A movie from the web comes as the answer to a request without a body.
        const QUrl asked(QString::fromStdString(load.url));
        const QString scheme = asked.scheme().toLower();
        if ((scheme == u"http" || scheme == u"https") && !asked.host().isEmpty()) {
            if (auto answer = onFetch({load.url, std::string(), std::string()})) {
                load.ok = true;
                load.data = std::move(*answer);
            }
        }
    }
    loads_.push_back(std::move(load));
}

void ScriptHost::loadMovieLevel(int level, std::string_view url, avm1::UrlMethod method,
                                std::string_view variables) {
    if (level < 0 || level > engine::StagePlayer::kMaxLevel) {
        return;
    }
    if (url.empty()) {
        unloadMovie(kNoDisplay);  // no address: the level goes
    } else {
        loadMovie(kNoDisplay, url, method, variables);
    }
    loads_.back().level = level;
}

void ScriptHost::unloadMovie(DisplayId target) {
    PendingLoad load;
    load.movie = PendingLoad::Movie::Unload;
    load.movieTarget = target;
    loads_.push_back(std::move(load));
}

void ScriptHost::loadClip(std::uint64_t requestId, DisplayId target, int level,
                          std::string_view url) {
    loadMovie(target, url, avm1::UrlMethod::None, {});
    loads_.back().level = target == kNoDisplay ? level : -1;
    loads_.back().clipRequest = requestId;
}

void ScriptHost::deliverMovie(const PendingLoad& load) {
    if (vm_->tickExhausted()) {
        return;
    }
    const bool loading = load.movie == PendingLoad::Movie::Load;
    const bool levelUnload = !loading && load.level < 0 && find(load.movieTarget) != nullptr &&
                             player_.levelOf(*find(load.movieTarget)) > 0;
    if (levelUnload || (!loading && load.level > 0)) {
        // A level unloaded goes altogether.
        const int n = load.level > 0 ? load.level : player_.levelOf(*find(load.movieTarget));
        if (DisplayObject* top = player_.level(n)) {
            const DisplayId id = top->id();
            runClipActions(*top, engine::kClipUnload);
            if (find(id) != nullptr) {
                callMethod(id, "onUnload");
            }
            player_.removeLevel(n);
        }
        return;
    }
    const bool readable = load.ok && loading;
    DisplayObject* o = nullptr;
    if (load.level >= 0 && readable) {
        o = player_.makeLevel(load.level);
    } else {
        o = find(load.movieTarget);
    }
    if (o == nullptr || o->removed() || o->timeline() == nullptr) {
        if (load.clipRequest != 0) {
            const avm1::Value error[] = {avm1::Value(vm_->intern("URLNotFound")), avm1::Value(0.0)};
            vm_->clipLoadEvent(load.clipRequest, "onLoadError", kNoDisplay, error, true);
        }
        return;
    }
    const engine::MovieSource* source = nullptr;
    engine::CharacterPtr image;
    if (loading) {
        if (!load.ok) {
            // A movie that cannot be read leaves the clip as it was.
            if (load.clipRequest != 0) {
                // The clip names what it was asked to show, though that never came.
                askedUrls_[o->id()] = load.url;
                const avm1::Value error[] = {avm1::Value(vm_->intern("URLNotFound")),
                                             avm1::Value(0.0)};
                vm_->clipLoadEvent(load.clipRequest, "onLoadError", o->id(), error, true);
            }
            return;
        }
        std::shared_ptr<const engine::MovieData> movie = engine::MovieData::fromBytes(
            {reinterpret_cast<const std::uint8_t*>(load.data.data()), load.data.size()});
        source = player_.context().addSource(std::move(movie), load.url);
        image = source == nullptr ? loadedImage(load.data) : nullptr;
        if (source == nullptr && image == nullptr && load.clipRequest == 0) {
            return;
        }
    }
    // What the clip showed leaves: its unload handlers run, then it starts anew as the
    // loaded movie's root with none of the old clip's variables.
    const DisplayId id = o->id();
    runClipActions(*o, engine::kClipUnload);
    if (find(id) != nullptr) {
        callMethod(id, "onUnload");
    }
    o = find(id);
    if (o == nullptr || o->timeline() == nullptr) {
        return;
    }
    if (avm1::Object* self = vm_->clipObject(id)) {
        // Whether the clip locks _root belongs to the clip, not to what it shows.
        const avm1::Value lockRoot = vm_->get(avm1::Value(self), "_lockroot");
        self->properties() = avm1::PropertyMap();
        self->setProtoLink(
            vm_->protosFor(source != nullptr ? source->version : vm_->swfVersion()).movieClip);
        if (!lockRoot.isUndefined()) {
            vm_->set(avm1::Value(self), "_lockroot", lockRoot);
        }
        // The address's query holds variables the loaded movie starts with.
        if (const std::size_t query = load.url.find('?'); query != std::string::npos) {
            avm1::lib::decodeVariables(*vm_, avm1::Value(self),
                                       std::string_view(load.url).substr(query + 1));
        }
    }
    constructed_.erase(id);
    askedUrls_.erase(id);
    o->timeline()->replaceMovie(source);
    if (image != nullptr) {
        // The image shows at the top left of the clip, which answers for its file as a
        // movie's root would.
        o->timeline()->placeCharacter(engine::depthOfTag(1), 0, image, std::string());
        o->timeline()->setLoadedImage({load.url, load.data.size()});
    }
    if (load.clipRequest == 0 && source != nullptr) {
        // The clip's own load event answers the movie's arrival, before its first frame's
        // actions.
        runClipActions(*o, engine::kClipLoad);
    }
    if (load.clipRequest != 0) {
        // The listeners hear of the new clip before its first frame's actions run; a file
        // that is neither movie nor image leaves the clip empty, and only a movie's bytes are
        // told.
        const double bytes = source != nullptr ? static_cast<double>(load.data.size()) : 0.0;
        vm_->clipLoadEvent(load.clipRequest, "onLoadStart", id, {}, false);
        const avm1::Value progress[] = {avm1::Value(bytes), avm1::Value(bytes)};
        vm_->clipLoadEvent(load.clipRequest, "onLoadProgress", id, progress, false);
        const avm1::Value status[] = {avm1::Value(0.0)};
        vm_->clipLoadEvent(load.clipRequest, "onLoadComplete", id, status, false);
        if (find(id) == nullptr) {
            return;
        }
        // onLoadInit follows the new movie's first frame, with the clip's load event.
        clipInits_[id] = load.clipRequest;
        auto& placed = player_.context().work().placed;
        placed.insert(placed.begin(), id);
    }
}

void ScriptHost::deliverPending(const PendingLoad& load) {
    if (load.movie != PendingLoad::Movie::None) {
        deliverMovie(load);
    } else if (load.variablesTarget != kNoDisplay) {
        deliverVariables(load);
    } else {
        vm_->deliverLoad(load.id, load.ok, load.data);
    }
}

void ScriptHost::loadVariables(DisplayId target, std::string_view url, avm1::UrlMethod,
                               std::string_view) {
    PendingLoad load;
    load.variablesTarget = target;
    if (auto text = readLocal(url)) {
        load.ok = true;
        load.data = std::move(*text);
    }
    loads_.push_back(std::move(load));
}

void ScriptHost::deliverVariables(const PendingLoad& load) {
    // A failed load sets nothing and tells no one; a target gone meanwhile gets nothing.
    const DisplayId id = load.variablesTarget;
    avm1::Object* self = load.ok && find(id) != nullptr ? vm_->clipObject(id) : nullptr;
    if (self == nullptr || vm_->tickExhausted()) {
        return;
    }
    avm1::lib::decodeVariables(*vm_, avm1::Value(self), textOfLoad(load.data, vm_->swfVersion()));
    if (DisplayObject* o = find(id)) {
        runClipActions(*o, engine::kClipData);
    }
    if (find(id) != nullptr) {
        callMethod(id, "onData");
    }
}

std::optional<std::string> ScriptHost::readLocal(std::string_view url) const {
    if (baseDir_.empty() || url.empty()) {
        return std::nullopt;
    }
    QString name = QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()));
    const qsizetype query = name.indexOf(u'?');
    if (query >= 0) {
        name.truncate(query);
    }
    const QString base = QDir(QString::fromStdString(baseDir_)).canonicalPath();
    QString path;
    const QUrl parsed(name);
    if (parsed.isValid() && parsed.scheme() == u"file") {
        path = parsed.toLocalFile();
    } else if (name.contains(u':') || name.startsWith(u'/') || name.startsWith(u'\\')) {
        return std::nullopt;  // another scheme, or an absolute path
    } else {
        path = base + u'/' + name;
    }
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (base.isEmpty() || canonical.isEmpty() || !canonical.startsWith(base + u'/')) {
        return std::nullopt;
    }
    QFile f(canonical);
    constexpr qint64 kMaxLoad = 16 * 1024 * 1024;
    if (f.size() > kMaxLoad || !f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return f.readAll().toStdString();
}

void ScriptHost::loadData(std::uint64_t requestId, std::string_view url, avm1::UrlMethod,
                          std::string_view) {
    if (startFetch(requestId, url)) {
        return;
    }
    PendingLoad load;
    load.id = requestId;
    if (auto text = readLocal(url)) {
        load.ok = true;
        load.data = std::move(*text);
    }
    loads_.push_back(std::move(load));
}

void ScriptHost::postData(std::uint64_t requestId, std::string_view url,
                          std::string_view contentType, std::string_view body) {
    PendingLoad load;
    load.id = requestId;
    if (onFetch) {
        if (auto answer =
                onFetch({std::string(url), std::string(contentType), std::string(body)})) {
            load.ok = true;
            load.data = std::move(*answer);
        }
    }
    loads_.push_back(std::move(load));
}

// --- XMLSocket connections ---

bool ScriptHost::openSocket(std::uint64_t id, std::string_view host, int port) {
    if (!onSocket) {
        return false;
    }
    std::unique_ptr<SocketChannel> channel = onSocket(std::string(host), port);
    if (channel == nullptr) {
        return false;
    }
    sockets_[id] = std::move(channel);
    return true;
}

void ScriptHost::socketSend(std::uint64_t id, std::string_view bytes) {
    if (const auto it = sockets_.find(id); it != sockets_.end()) {
        it->second->send(bytes);
    }
}

void ScriptHost::closeSocket(std::uint64_t id) {
    if (const auto it = sockets_.find(id); it != sockets_.end()) {
        it->second->close();
        sockets_.erase(it);
    }
}

void ScriptHost::pollSockets() {
    // Handlers may open and close sockets: each is looked up again after they ran.
    std::vector<std::uint64_t> ids;
    for (const auto& [id, channel] : sockets_) {
        ids.push_back(id);
    }
    for (const std::uint64_t id : ids) {
        auto it = sockets_.find(id);
        if (it == sockets_.end()) {
            continue;
        }
        const SocketChannel::Events e = it->second->poll();
        if (e.connected) {
            if (!*e.connected) {
                sockets_.erase(it);
            }
            avm1::lib::socketConnected(*vm_, id, *e.connected);
            if (!*e.connected) {
                continue;
            }
        }
        if (!e.received.empty() && sockets_.count(id) != 0) {
            avm1::lib::socketReceived(*vm_, id, e.received);
        }
        if (e.closed && sockets_.count(id) != 0) {
            sockets_.erase(id);
            avm1::lib::socketClosed(*vm_, id);
        }
    }
}

// --- Shared objects ---

std::optional<QString> ScriptHost::sharedObjectPath(std::string_view name) const {
    if (sharedDir_.empty() || name.empty()) {
        return std::nullopt;
    }
    // Slashes make sub-folders; every part is a plain file name.
    const QString n = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    for (const QString& part : n.split(u'/')) {
        if (part.isEmpty() || part == u"." || part == u".." || part.contains(u'\\')) {
            return std::nullopt;
        }
    }
    return QString::fromStdString(sharedDir_) + u'/' + n + QStringLiteral(".sol");
}

std::optional<std::string> ScriptHost::readSharedObject(std::string_view name) {
    const auto path = sharedObjectPath(name);
    if (!path) {
        return std::nullopt;
    }
    QFile f(*path);
    if (f.size() > static_cast<qint64>(kSharedObjectLimit) || !f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return f.readAll().toStdString();
}

bool ScriptHost::writeSharedObject(std::string_view name, std::string_view bytes) {
    const auto path = sharedObjectPath(name);
    if (!path || bytes.size() > kSharedObjectLimit) {
        return false;
    }
    if (bytes.empty()) {
        QFile::remove(*path);
        return true;
    }
    if (!QDir().mkpath(QFileInfo(*path).absolutePath())) {
        return false;
    }
    // Written beside and renamed over: a crash leaves the old file or the new, never half.
    QSaveFile f(*path);
    if (!f.open(QIODevice::WriteOnly)) {
        return false;
    }
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return f.commit();
}

// --- The tick ---

avm1::CodeOwner ScriptHost::codeAt(std::size_t begin, std::span<const std::uint8_t> code) {
    auto it = code_.find(begin);
    if (it != code_.end() && it->second->size() == code.size()) {
        return it->second;
    }
    auto owner = std::make_shared<const avm1::Bytes>(code.begin(), code.end());
    code_[begin] = owner;
    return owner;
}

void ScriptHost::tickBegins() {
    // Settles, seeks and input run scripts outside a tick's enterFrame pass.
    scriptsRanSincePass_ = true;
    if (!budget_) {
        budget_.emplace(*vm_);
    }
}

void ScriptHost::tickEnds() {
    // Remote calls this tick's scripts made go out together.
    vm_->runDeferred();
    // The stack frame scripts share lasts one frame: the next frame's blocks start empty.
    vm_->stack().clear();
    flushDrawings();
    textFields_->syncVariables();
    input_->settleScriptFocus();
    budget_.reset();
    updateHighlight();
    updateTextFocus();
}

void ScriptHost::updateTextFocus() {
    const avm1::InputState& in = vm_->input();
    const DisplayObject* f = find(in.focus);
    const engine::TextFieldModel* field = f != nullptr && !f->removed() ? f->textField() : nullptr;
    if (field == nullptr) {
        player_.context().setTextFocus(engine::kNoInstance, false);
        return;
    }
    // Only a field the user can type into has a caret; a selection hides it.
    bool caret = field->editable && field->selectionBegin == field->selectionEnd;
    if (caret) {
        caret = caretBlink_.shown({f->id(), in.focusMoves, field->version, field->caret,
                                   field->selectionBegin, field->selectionEnd},
                                  player_.movieTime());
    }
    player_.context().setTextFocus(f->id(), caret);
}

void ScriptHost::updateHighlight() {
    const avm1::InputState& in = vm_->input();
    engine::InstanceId shown = engine::kNoInstance;
    DisplayObject* f = in.focusShown ? find(in.focus) : nullptr;
    // An object's own _focusrect counts when the focus moves to it: turned off later, it
    // leaves the rectangle on.
    if (in.focusMoves != highlightMoves_) {
        highlightMoves_ = in.focusMoves;
        const auto own = f != nullptr ? focusRects_.find(f->id()) : focusRects_.end();
        highlightOwn_ = own != focusRects_.end() ? std::optional<bool>(own->second) : std::nullopt;
    }
    bool allowed = highlightOwn_.value_or(true);
    if (!highlightOwn_) {
        const auto movie = focusRects_.find(player_.root().id());
        allowed = movie == focusRects_.end() || movie->second;
    }
    // Buttons and clips show the rectangle; a text field shows its caret instead.
    if (f != nullptr && !f->removed() && !f->isRoot() && f->textField() == nullptr && allowed) {
        shown = f->id();
    }
    player_.context().setHighlighted(shown);
}

void ScriptHost::runActions(const engine::QueuedAction& action, DisplayObject* target,
                            std::span<const std::uint8_t> code) {
    // Fields placed since bind their variables before scripts look at them.
    textFields_->syncIfChanged();
    scriptsRanSincePass_ = true;
    if (action.kind == engine::QueuedAction::Kind::Construct) {
        if (target != nullptr && !target->removed()) {
            construct(*target);
        }
        return;
    }
    const VersionScope version(*vm_, player_.context().sourceOf(action.code).version);
    if (action.kind == engine::QueuedAction::Kind::Init) {
        // Runs on the timeline that reached the tag, or the root once that has gone.
        vm_->runActions(codeAt(action.code.begin, code), target != nullptr ? target->id() : root());
        return;
    }
    if (target == nullptr) {
        return;
    }
    vm_->runActions(codeAt(action.code.begin, code), target->id());
}

void ScriptHost::runClipActions(DisplayObject& object, std::uint32_t events) {
    for (const engine::ClipAction& a : object.clipActions()) {
        if ((a.events & events) == 0) {
            continue;
        }
        const auto bytes = player_.context().bytes(a.code);
        vm_->runActions(codeAt(a.code.begin, bytes), object.id());
    }
}

bool ScriptHost::callMethod(DisplayId id, std::string_view method) {
    avm1::Object* self = vm_->clipObject(id);
    if (self == nullptr) {
        return false;
    }
    avm1::Value fn;
    if (!vm_->lookup(self, avm1::Value(self), vm_->key(method), fn) || !fn.isObject() ||
        !fn.object()->isFunction()) {
        return false;
    }
    vm_->callFromHost(fn, avm1::Value(self), {});
    return true;
}

avm1::Value ScriptHost::registeredClass(const DisplayObject& object) {
    if (!object.isClip() || object.isRoot()) {
        return {};
    }
    const std::string symbol = symbolName(object);
    if (symbol.empty()) {
        return {};
    }
    avm1::Object* registry = vm_->get(avm1::Value(vm_->global()), "__registeredClasses").asObject();
    if (registry == nullptr) {
        return {};
    }
    const avm1::Value ctor = vm_->get(avm1::Value(registry), symbol);
    avm1::Object* fn = ctor.asObject();
    return fn != nullptr && fn->isFunction() ? ctor : avm1::Value();
}

void ScriptHost::initialize(DisplayObject& object) {
    if (!constructed_.emplace(object.id(), false).second) {
        return;
    }
    const avm1::Value ctor = registeredClass(object);
    avm1::Object* self = vm_->clipObject(object.id());
    if (ctor.isObject() && self != nullptr) {
        // The class's prototype is there for the clip's own event actions already.
        const avm1::Value proto = vm_->get(ctor, "prototype");
        if (proto.isObject()) {
            self->setProtoLink(proto.object());
        }
        // As for new: the instance knows the class that made it.
        vm_->define(self, "__constructor__", ctor, avm1::kDontEnum);
        if (vm_->swfVersion() < 7) {
            vm_->define(self, "constructor", ctor, avm1::kDontEnum);
        }
    }
    runClipActions(object, engine::kClipInitialize);
}

void ScriptHost::construct(DisplayObject& object) {
    const DisplayId id = object.id();
    initialize(object);
    const auto state = constructed_.find(id);
    if (state == constructed_.end() || state->second || player_.context().find(id) == nullptr) {
        return;
    }
    state->second = true;
    runClipActions(object, engine::kClipConstruct);
    // A movie loaded into a clip does not make the clip anew.
    const bool loaded = object.timeline() != nullptr && object.timeline()->loadedRoot();
    if (!loaded && player_.context().find(id) != nullptr) {
        callMethod(id, "onConstruct");
    }
    const avm1::Value ctor = registeredClass(object);
    avm1::Object* self = vm_->clipObject(id);
    if (ctor.isObject() && self != nullptr && player_.context().find(id) != nullptr) {
        vm_->constructFromHost(ctor, self);
    }
}

void ScriptHost::clipEvent(DisplayObject& object, engine::ClipEvent event) {
    const DisplayId id = object.id();
    switch (event) {
        case engine::kClipLoad:
            construct(object);
            if (player_.context().find(id) != nullptr) {
                runClipActions(object, engine::kClipLoad);
            }
            if (player_.context().find(id) != nullptr) {
                callMethod(id, "onLoad");
            }
            if (const auto init = clipInits_.find(id); init != clipInits_.end()) {
                const std::uint64_t request = init->second;
                clipInits_.erase(init);
                vm_->clipLoadEvent(request, "onLoadInit", id, {}, true);
            }
            break;
        case engine::kClipUnload: {
            if (!object.unloaded()) {
                // The clips it was removed with stay reachable as its parents meanwhile.
                const std::size_t before = unloading_.size();
                unloading_.push_back(&object);
                for (DisplayObject* up = object.parent(); up != nullptr && up->removed();
                     up = up->parent()) {
                    unloading_.push_back(up);
                }
                runClipActions(object, engine::kClipUnload);
                callMethod(id, "onUnload");
                unloading_.resize(before);
            }
            if (!object.removed()) {
                break;  // set aside: it leaves with the next frame
            }
            if (vm_->input().focus == id) {
                avm1::moveFocus(*vm_, avm1::kNoDisplay);  // the focus leaves with it
            }
            geometry_.erase(id);
            askedUrls_.erase(id);
            constructed_.erase(id);
            vm_->forgetClip(id);
            break;
        }
        case engine::kClipEnterFrame: {
            bool handled = false;
            for (const engine::ClipAction& a : object.clipActions()) {
                handled = handled || (a.events & engine::kClipEnterFrame) != 0;
            }
            runClipActions(object, engine::kClipEnterFrame);
            if (player_.context().find(id) != nullptr) {
                handled = callMethod(id, "onEnterFrame") || handled;
            }
            enterFrameThisTick_ = enterFrameThisTick_ || handled;
            break;
        }
        case engine::kClipInitialize:
            initialize(object);
            break;
        default:
            runClipActions(object, event);
            break;
    }
}

bool ScriptHost::handlesUnload(DisplayObject& clip) {
    avm1::Object* self = vm_->clipObject(clip.id());
    avm1::Value fn;
    return self != nullptr && vm_->lookup(self, avm1::Value(self), vm_->key("onUnload"), fn) &&
           fn.isObject() && fn.object()->isFunction();
}

void ScriptHost::deliverLoads() {
    if (loads_.empty() && fileJobs_.empty()) {
        return;
    }
    const avm1::Vm::TickBudget budget(*vm_);
    std::vector<PendingLoad> due;
    due.swap(loads_);
    deliverChain(std::move(due));
    pumpFiles();
    vm_->runDeferred();
    player_.settle();
}

void ScriptHost::deliverChain(std::vector<PendingLoad> due) {
    // Data a handler asks for while hearing of its last load (a chain of files) arrives in the
    // same pass, as local files are there at once; bounded, so a handler asking forever
    // still lets the tick end.
    constexpr int kMaxChainedPasses = 64;
    for (int pass = 0; !due.empty() && pass < kMaxChainedPasses; ++pass) {
        for (const PendingLoad& l : due) {
            deliverPending(l);
        }
        due.clear();
        std::erase_if(loads_, [&due](PendingLoad& l) {
            if (l.movie != PendingLoad::Movie::None || l.variablesTarget != kNoDisplay) {
                return false;
            }
            due.push_back(std::move(l));
            return true;
        });
    }
    for (PendingLoad& l : due) {
        loads_.push_back(std::move(l));  // beyond the bound: the next tick
    }
}

void ScriptHost::runTimers(double movieTimeMs) {
    // Comes once per tick, right after its enterFrame pass.
    enterFrameLastTick_ = enterFrameThisTick_;
    enterFrameThisTick_ = false;
    pollFetches();
    scriptsRanSincePass_ =
        vm_->hasTimers() || !loads_.empty() || !sockets_.empty() || !fileJobs_.empty();
    std::vector<PendingLoad> due;
    due.swap(loads_);
    deliverChain(std::move(due));
    pumpFiles();
    pollSockets();
    if (std::exchange(resizePending_, false)) {
        avm1::broadcast(*vm_, "Stage", "onResize");
    }
    vm_->runTimers(movieTimeMs);
    std::erase_if(streamVideos_, [this](DisplayId id) {
        DisplayObject* o = find(id);
        if (o == nullptr || o->removed() || !o->attachedVideo()) {
            return true;
        }
        player_.context().changed(*o);
        return false;
    });
    // Timers fall due between frames: movies they ask for arrive with this frame, as those
    // the frame before asked for do (data loads keep their order behind them).
    const bool moviesOnly = std::all_of(loads_.begin(), loads_.end(), [](const PendingLoad& l) {
        return l.movie != PendingLoad::Movie::None;
    });
    if (moviesOnly && !loads_.empty()) {
        due.clear();
        due.swap(loads_);
        for (const PendingLoad& l : due) {
            deliverPending(l);
        }
    }
}

bool ScriptHost::wantsTicks() const {
    // A focused input field's caret blinks on the movie's clock.
    const DisplayObject* focused = find(vm_->input().focus);
    const bool blinking =
        focused != nullptr && focused->textField() != nullptr && focused->textField()->editable;
    return blinking || resizePending_ || vm_->hasTimers() || enterFrameLastTick_ ||
           scriptsRanSincePass_ || !loads_.empty() || !sockets_.empty() || !fetches_.empty() ||
           !fileJobs_.empty();
}

}  // namespace zd::script
