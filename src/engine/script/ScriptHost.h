#pragma once

#include <QString>
#include <QTransform>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/avm1/Host.h"
#include "engine/avm1/Vm.h"
#include "engine/player/DataFetch.h"
#include "engine/player/Dictionary.h"
#include "engine/player/FrameHooks.h"
#include "engine/player/InputEvents.h"
#include "engine/player/TextFieldModel.h"
#include "engine/script/FileDialogs.h"
#include "engine/script/MovieMenu.h"
#include "engine/script/SocketChannel.h"
#include "engine/swf/Records.h"

class QNetworkAccessManager;

namespace zd::engine {
class CharacterCache;
class DisplayObject;
struct ClipAction;
class MovieData;
class StagePlayer;
struct RenderHooks;
}  // namespace zd::engine

namespace zd::script {

class InputRouter;
class ClipDrawing;
class TextFields;

// A request a script made that leaves the movie: getURL (FSCommand: targets included).
struct UrlRequest {
    std::string url;
    std::string window;
    avm1::UrlMethod method = avm1::UrlMethod::None;
    std::string variables;
};

// A request with a body that leaves the movie for an address it names (remote calls).
struct FetchRequest {
    std::string url;
    std::string contentType;
    std::string body;
};

// Runs a movie's ActionScript on its display tree: the interpreter's host over the stage's
// objects, and the stage's script hooks feeding it frame actions, clip events and timers.
// Lives no longer than the player; the player must not tick after it is gone (the destructor
// unplugs it).
class ScriptHost final : public avm1::Host, public engine::ScriptHooks {
  public:
    ScriptHost(engine::StagePlayer& player, const engine::MovieData& movie);
    ~ScriptHost() override;
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    avm1::Vm& vm() { return *vm_; }

    // Where trace() lines, script errors and getURL requests go (unset: dropped).
    std::function<void(std::string_view)> onTrace;
    std::function<void(std::string_view)> onError;
    std::function<void(const UrlRequest&)> onUrl;
    // Opens an XMLSocket connection (nothing: refused). Unset: every connection is refused.
    std::function<std::unique_ptr<SocketChannel>(const std::string& host, int port)> onSocket;
    // Answers a posted request, or a movie asked of the web (the answer's bytes), or nothing
    // when it failed. Unset: every post fails. Runs synchronously; the answer reaches scripts
    // on the next tick.
    std::function<std::optional<std::string>(const FetchRequest&)> onFetch;
    // The folder loads may read below (empty: every load fails). Names that leave it, absolute
    // paths and addresses with a scheme other than file: below it are refused.
    void setBaseDir(std::string dir) { baseDir_ = std::move(dir); }
    // Whether data, sound and video loads may go to http(s) addresses (off: files only).
    // Relative names go there too when the movie itself came from such an address.
    void setNetworkLoads(bool allowed) { networkLoads_ = allowed; }
    void setBaseUrl(std::string url) { baseUrl_ = std::move(url); }
    // Where the opened movie came from, as its _url reports and its loaded movies' relative
    // addresses resolve against (empty: the folder it was read from).
    void setMovieUrl(std::string url) { movieUrl_ = std::move(url); }
    // Most bytes one load from the network may bring.
    static constexpr std::size_t kMaxNetworkLoad = std::size_t{16} << 20;
    // The folder this movie's shared objects are kept in (empty: none are kept), and how
    // many bytes each may take.
    void setSharedObjectDir(std::string dir) { sharedDir_ = std::move(dir); }
    static constexpr std::size_t kSharedObjectLimit = 100 * 1024;
    // A fixed wall clock (ms since 1970, zone offset in minutes east) for reproducible runs.
    void setFixedClock(double utcMs, double offsetMinutes) {
        fixedNow_ = utcMs;
        fixedOffset_ = offsetMinutes;
    }
    void setRandomSeed(std::uint32_t seed) { random_.seed(seed); }
    // The screen System.capabilities reports, in pixels as the desktop counts them (a scaled
    // desktop reports fewer than the device has). Sizes below one pixel are ignored.
    void setScreenResolution(int width, int height);
    // The area the player shows the movie in, in pixels: with noScale the stage is that
    // large, and the movie hears of each change (Stage.onResize) on its next tick.
    void setViewSize(int width, int height);
    // How the movie asks to be fitted to that area.
    const avm1::Vm::StageSettings& stageSettings() const { return vm_->stageSettings(); }
    // The clipboard input fields copy to and paste from (nullptr: the player's own). It must
    // outlive the host or be unplugged first.
    void setClipboard(engine::Clipboard* clipboard) {
        clipboard_ = clipboard != nullptr ? clipboard : &ownClipboard_;
    }
    engine::Clipboard& clipboard() { return *clipboard_; }
    // The dialogs FileReference shows (nullptr: none, and browsing and downloading fail). They
    // must outlive the host or be unplugged first.
    void setFileDialogs(FileDialogs* dialogs) { fileDialogs_ = dialogs; }
    // Starts a FileReference download or upload (nothing: it fails at once). Unset: through the
    // network when network loads are allowed, else every transfer fails.
    std::function<std::unique_ptr<FileTransfer>(const TransferRequest&)> onTransfer;
    // Errors reported so far (time or recursion limits, malformed actions).
    std::size_t errorCount() const { return errors_; }

    // --- avm1::Host ---
    void trace(std::string_view line) override;
    double timer() override;
    double now() override;
    double utcOffsetMinutes(double utcMs) override;
    std::uint32_t random(std::uint32_t bound) override;
    bool exists(avm1::DisplayId id) override;
    avm1::DisplayId root() override;
    avm1::DisplayId rootOf(avm1::DisplayId id) override;
    avm1::DisplayId level(int n) override;
    avm1::DisplayId parent(avm1::DisplayId id) override;
    avm1::DisplayId child(avm1::DisplayId id, std::string_view name, bool ignoreCase) override;
    std::vector<std::string> childNames(avm1::DisplayId id) override;
    Kind kind(avm1::DisplayId id) override;
    avm1::DisplayValue property(avm1::DisplayId id, avm1::DisplayProperty p) override;
    void setProperty(avm1::DisplayId id, avm1::DisplayProperty p,
                     const avm1::DisplayValue& v) override;
    void gotoFrame(avm1::DisplayId id, int frame) override;
    void setPlaying(avm1::DisplayId id, bool playing) override;
    void nextFrame(avm1::DisplayId id) override;
    void prevFrame(avm1::DisplayId id) override;
    void callFrame(avm1::DisplayId id, int frame) override;
    std::optional<int> labelFrame(avm1::DisplayId id, std::string_view label) override;
    avm1::DisplayId duplicate(avm1::DisplayId id, std::string_view name, int depth) override;
    void remove(avm1::DisplayId id) override;
    // A JPEG, GIF or PNG file as a bitmap character; null for anything else.
    static engine::CharacterPtr loadedImage(const std::string& data);
    avm1::DisplayId attachBitmap(avm1::DisplayId parent, int depth, int width, int height,
                                 std::shared_ptr<const std::vector<std::uint32_t>> pixels,
                                 bool smoothing) override;
    std::optional<Pixels> exportedBitmap(avm1::DisplayId from, std::string_view name) override;
    std::optional<std::vector<std::uint32_t>> drawClip(
        avm1::DisplayId id, int width, int height, const std::array<double, 6>& matrix) override;
    avm1::DisplayId attach(avm1::DisplayId parent, std::string_view exportName,
                           std::string_view name, int depth) override;
    avm1::DisplayId createEmpty(avm1::DisplayId parent, std::string_view name, int depth) override;
    avm1::DisplayId createTextField(avm1::DisplayId parent, std::string_view name, int depth,
                                    double x, double y, double width, double height) override;
    void clipMade(avm1::DisplayId id) override;
    std::optional<int> depth(avm1::DisplayId id) override;
    void swapDepths(avm1::DisplayId id, int depth) override;
    int nextHighestDepth(avm1::DisplayId id) override;
    std::optional<MovieInfo> movieInfo(avm1::DisplayId id) override;
    std::array<double, 2> stageSize(bool noScale) override;
    std::string sandboxType(avm1::DisplayId clip) override;
    void realmMade(avm1::Object* global) override;
    avm1::DisplayId instanceAtDepth(avm1::DisplayId parent, int depth) override;
    void startDrag(avm1::DisplayId id, bool lockCenter,
                   std::optional<std::array<double, 4>> bounds) override;
    void stopDrag() override;
    std::optional<std::array<double, 4>> bounds(avm1::DisplayId id, avm1::DisplayId space,
                                                bool strokes) override;
    std::optional<std::array<double, 2>> mapPoint(avm1::DisplayId id, double x, double y,
                                                  bool toStageCoordinates) override;
    bool hitTest(avm1::DisplayId id, double x, double y, bool shape) override;
    void getUrl(std::string_view url, std::string_view window, avm1::UrlMethod method,
                std::string_view variables) override;
    void loadMovie(avm1::DisplayId target, std::string_view url, avm1::UrlMethod method,
                   std::string_view variables) override;
    void loadMovieLevel(int level, std::string_view url, avm1::UrlMethod method,
                        std::string_view variables) override;
    void unloadMovie(avm1::DisplayId target) override;
    void loadClip(std::uint64_t requestId, avm1::DisplayId target, int level,
                  std::string_view url) override;
    void loadVariables(avm1::DisplayId target, std::string_view url, avm1::UrlMethod method,
                       std::string_view variables) override;
    void cancelLoad(std::uint64_t requestId) override;
    void loadData(std::uint64_t requestId, std::string_view url, avm1::UrlMethod method,
                  std::string_view body) override;
    void postData(std::uint64_t requestId, std::string_view url, std::string_view contentType,
                  std::string_view body) override;
    bool openSocket(std::uint64_t id, std::string_view host, int port) override;
    void socketSend(std::uint64_t id, std::string_view bytes) override;
    void closeSocket(std::uint64_t id) override;
    // FileReference (ScriptFiles.cpp).
    bool browseFiles(std::uint64_t id, std::span<const FileFilter> filters, bool multiple) override;
    bool downloadFile(std::uint64_t id, std::string_view url,
                      std::string_view suggestedName) override;
    bool uploadFile(std::uint64_t id, std::uint64_t file, std::string_view url,
                    std::string_view field) override;
    void cancelFile(std::uint64_t id) override;
    void scriptError(std::string_view message) override;
    // Clips drawn on since get their shapes now (before anything measures or shows them).
    void flushDrawings();
    avm1::TextFieldHost* textFields() override;
    void draw(avm1::DisplayId id, const avm1::DrawCommand& command) override;
    void setMask(avm1::DisplayId id, avm1::DisplayId mask) override;
    std::optional<ScrollRect> scrollRect(avm1::DisplayId id) override;
    void setScrollRect(avm1::DisplayId id, std::optional<ScrollRect> rect) override;
    std::optional<std::uint32_t> opaqueBackground(avm1::DisplayId id) override;
    void setOpaqueBackground(avm1::DisplayId id, std::optional<std::uint32_t> rgb) override;
    bool cacheAsBitmap(avm1::DisplayId id) override;
    void setCacheAsBitmap(avm1::DisplayId id, bool cache) override;
    std::optional<ColorTransform> colorTransform(avm1::DisplayId id) override;
    void setColorTransform(avm1::DisplayId id, const ColorTransform& c) override;
    std::optional<std::uint8_t> blendMode(avm1::DisplayId id) override;
    void setBlendMode(avm1::DisplayId id, std::uint8_t mode) override;
    std::optional<engine::FilterList> filters(avm1::DisplayId id) override;
    void setFilters(avm1::DisplayId id, engine::FilterList filters) override;
    std::optional<std::string> readSharedObject(std::string_view name) override;
    bool writeSharedObject(std::string_view name, std::string_view bytes) override;
    // Sounds (ScriptSound.cpp).
    std::optional<SoundMix> soundMix(avm1::DisplayId clip) override;
    void setSoundMix(avm1::DisplayId clip, const SoundMix& mix) override;
    std::optional<double> soundLength(avm1::DisplayId clip, std::string_view name) override;
    bool startSound(avm1::DisplayId clip, std::string_view name, double offset, int loops) override;
    void stopSound(avm1::DisplayId clip, std::string_view name) override;
    std::optional<double> addLoadedSound(std::string_view name, std::string_view bytes) override;
    void stopSounds() override;
    std::optional<double> addSoundBody(std::string_view name,
                                       std::span<const std::uint8_t> body) override;
    bool attachVideo(avm1::DisplayId video, std::shared_ptr<engine::FlvVideo> source) override;
    void clearVideo(avm1::DisplayId video) override;

    // --- engine::ScriptHooks ---
    void tickBegins() override;
    void tickEnds() override;
    void runActions(const engine::QueuedAction& action, engine::DisplayObject* target,
                    std::span<const std::uint8_t> code) override;
    void clipEvent(engine::DisplayObject& object, engine::ClipEvent event) override;
    bool handlesUnload(engine::DisplayObject& clip) override;
    void runTimers(double movieTimeMs) override;
    bool wantsTicks() const override;
    void inputEvent(const engine::InputEvent& event) override;
    void warning(std::string_view text) override;

    // Whether the pointer is over something that shows the hand (a button, a clip acting as
    // one) and whether the movie hid the pointer.
    bool handCursor();
    bool mouseHidden();
    // The right-click menu as the movie last asked for it (an InputEvent opens it).
    const MovieMenu& movieMenu() const { return menus_->current(); }

    // Hands over the loads that finished, as a tick would, without running a frame: for
    // runs that end while a load is on its way.
    void deliverLoads();

    // The text a local load reads: the file below the base folder the address names, or
    // nothing when it names none or leaves the folder.
    std::optional<std::string> readLocal(std::string_view url) const;

  private:
    friend class InputRouter;
    // The action bytes of a button, shared by every run of them.
    avm1::CodeOwner buttonCode(const engine::CharacterPtr& button);
    void runClipAction(engine::DisplayObject& object, const engine::ClipAction& action);
    // Whether the object shows the focus rectangle: its own _focusrect, else the movie's.
    bool focusRect(const engine::DisplayObject& object) const;
    // Tells the display which object shows the focus rectangle now.
    void updateHighlight();
    // Tells the display which text field has the focus and whether its caret shows now.
    void updateTextFocus();
    // The object by id, also while its unload event runs (it is then off the lists).
    engine::DisplayObject* find(avm1::DisplayId id) const;
    avm1::CodeOwner codeAt(std::size_t begin, std::span<const std::uint8_t> code);
    void runClipActions(engine::DisplayObject& object, std::uint32_t events);
    // Calls the method of the clip's script object named `method`, if it has one.
    bool callMethod(avm1::DisplayId id, std::string_view method);
    // The class registered for the clip's symbol (Object.registerClass), or undefined.
    avm1::Value registeredClass(const engine::DisplayObject& object);
    // Once per clip: binds its registered class's prototype and runs its initialize actions.
    void initialize(engine::DisplayObject& object);
    // Once per clip, initialized first if it was not: runs its construct actions, its
    // onConstruct method and the class's constructor.
    void construct(engine::DisplayObject& object);
    std::string symbolName(const engine::DisplayObject& object) const;
    struct Geometry;
    Geometry& geometry(engine::DisplayObject& object);
    void applyGeometry(engine::DisplayObject& object, const Geometry& g);
    double bound(engine::DisplayObject& object, bool height);
    // Twips of the object's coordinates to twips of the stage's.
    QTransform toStage(const engine::DisplayObject& object) const;
    // The matrix of the level the object is in, which toStage leaves out: scripts give points
    // in their level's coordinates.
    QTransform levelMatrix(const engine::DisplayObject& object) const;

    engine::StagePlayer& player_;
    const engine::MovieData& movie_;
    std::unique_ptr<avm1::Vm> vm_;
    std::optional<std::array<int, 2>> screenResolution_;
    std::optional<std::array<int, 2>> viewSize_;
    std::string movieUrl_;
    std::unordered_map<avm1::DisplayId, std::string> askedUrls_;  // loads that failed
    bool resizePending_ = false;
    // What the host tells scripts through System in a realm's _global.
    void describeSystem(avm1::Object* global);
    std::unique_ptr<engine::RenderHooks> renderHooks_;
    std::unique_ptr<engine::CharacterCache> characters_;
    std::unordered_map<std::size_t, avm1::CodeOwner> code_;
    struct Geometry {
        engine::Matrix seen;  // the matrix these were taken from
        double xscale = 100;
        double yscale = 100;
        double rotation = 0;
    };
    std::unordered_map<avm1::DisplayId, Geometry> geometry_;
    std::vector<engine::DisplayObject*> unloading_;
    std::unordered_map<avm1::DisplayId, bool> constructed_;  // false: initialized only
    // Results wait for the next tick and arrive in the order asked for. A load of variables
    // names its target clip; a document load its request.
    struct PendingLoad {
        std::uint64_t id = 0;
        avm1::DisplayId variablesTarget = avm1::kNoDisplay;
        bool ok = false;
        std::string data;
        // A movie to play in a clip (loadMovie), or the clip to empty (unloadMovie).
        enum class Movie : std::uint8_t { None, Load, Unload };
        Movie movie = Movie::None;
        avm1::DisplayId movieTarget = avm1::kNoDisplay;
        int level = -1;                 // a level instead of a clip
        std::uint64_t clipRequest = 0;  // a MovieClipLoader's request
        std::string url;
    };
    void deliverVariables(const PendingLoad& load);
    void deliverPending(const PendingLoad& load);
    // Delivers these loads, then the data loads their handlers ask for meanwhile.
    void deliverChain(std::vector<PendingLoad> due);
    void deliverMovie(const PendingLoad& load);
    std::vector<PendingLoad> loads_;
    std::map<std::uint64_t, std::unique_ptr<SocketChannel>> sockets_;
    // What the open sockets saw since the last tick reaches their handlers.
    void pollSockets();
    // Clips a MovieClipLoader filled, waiting for their first frame to have run.
    std::unordered_map<avm1::DisplayId, std::uint64_t> clipInits_;
    bool resolvingRoot_ = false;
    std::optional<avm1::Vm::TickBudget> budget_;
    std::string baseDir_;
    // Loads from the network: started by loadData, looked at once per tick, where what
    // arrived is told to the receiver and an ended load becomes a pending result.
    // http(s) with a host, or a name relative to the movie's own web address: the movie's
    // folder is no place to download from or upload to.
    static std::optional<QUrl> webAddress(std::string_view url, const std::string& base);
    std::optional<QUrl> networkAddress(std::string_view url) const;
    bool startFetch(std::uint64_t requestId, std::string_view url);
    void pollFetches();
    struct Fetch {
        std::unique_ptr<engine::DataFetch> fetch;
        std::size_t told = 0;  // bytes the receiver has heard of
    };
    bool networkLoads_ = false;
    std::string baseUrl_;
    std::unique_ptr<QNetworkAccessManager> network_;
    std::map<std::uint64_t, Fetch> fetches_;
    std::string sharedDir_;
    // FileReference requests: a dialog waiting for its answer, then (downloads, uploads) a
    // transfer looked at once per tick, its stages told to the requester as they come.
    struct FileJob {
        enum class Kind : std::uint8_t { Browse, Download, Upload };
        Kind kind = Kind::Browse;
        bool answered = false;           // the dialog was answered (uploads have none)
        std::vector<std::string> paths;  // picked or chosen; empty: cancelled
        std::string url;                 // as the movie gave it
        QUrl address;
        std::string contentType;  // an upload's form and its file
        std::string body;
        std::size_t fileSize = 0;
        std::unique_ptr<FileTransfer> transfer;
        bool opened = false;
        std::size_t told = 0;  // bytes the requester has heard of
    };
    void pumpFiles();
    // Tells the requester what the job's dialog or transfer did since; false when nothing.
    bool advanceFile(std::uint64_t id);
    std::unique_ptr<FileTransfer> startTransfer(const TransferRequest& request);
    FileDialogs* fileDialogs_ = nullptr;
    std::map<std::uint64_t, FileJob> fileJobs_;
    // The files users picked, by the handles scripts hold instead of their paths.
    std::map<std::uint64_t, std::string> pickedFiles_;
    std::uint64_t nextPickedFile_ = 1;
    int dialogsOpen_ = 0;
    // Dialog answers that come after the host is gone find this expired.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // Where a shared object of that name is kept, or nothing for a name that would leave
    // the folder.
    std::optional<QString> sharedObjectPath(std::string_view name) const;
    std::optional<double> fixedNow_;
    double fixedOffset_ = 0;
    std::mt19937 random_{20260101u};
    std::size_t errors_ = 0;
    std::unordered_map<const void*, avm1::CodeOwner> buttonCode_;
    std::unique_ptr<InputRouter> input_;
    std::unique_ptr<MovieMenus> menus_;
    engine::MemoryClipboard ownClipboard_;
    engine::Clipboard* clipboard_ = &ownClipboard_;
    // _focusrect as scripts set it: the root's is the movie's default.
    std::unordered_map<avm1::DisplayId, bool> focusRects_;
    // The focused object's own _focusrect when the focus last moved to it (none: it had
    // none, and the movie's counts as it is now).
    std::uint32_t highlightMoves_ = 0;
    std::optional<bool> highlightOwn_;
    engine::CaretBlink caretBlink_;
    // The movie-wide settings scripts read back: quality (0 low, 1 medium, 2 high, 3 best)
    // and the sound buffer in seconds.
    int quality_ = 2;
    std::int32_t soundBufTime_ = 5;
    std::unique_ptr<TextFields> textFields_;
    std::unordered_map<avm1::DisplayId, std::unique_ptr<ClipDrawing>> drawings_;
    // The sound mixes scripts gave clips (kNoDisplay: the movie's), and the sound ids the
    // movie exports by name.
    std::unordered_map<avm1::DisplayId, SoundMix> soundMixes_;
    std::optional<std::uint16_t> exportedSound(std::string_view name);
    // MP3 files scripts loaded, by the name the Sound object gave them: a DefineSound body
    // to play them by and the id it plays under (above any character id).
    struct LoadedSound {
        std::uint32_t id = 0;
        std::vector<std::uint8_t> defineSound;
    };
    std::unordered_map<std::string, LoadedSound> loadedSounds_;
    // Videos showing a stream: redrawn every tick, as their pictures follow its clock.
    std::vector<avm1::DisplayId> streamVideos_;
    std::uint32_t nextLoadedSound_ = 0x10000;
    std::unordered_set<avm1::DisplayId> staleDrawings_;  // drawn since their shape was made
    // Whether ticks are still needed follows what the scripts do now: an enterFrame handler
    // ran in the last tick, or scripts ran since its enterFrame pass (they may have set one).
    bool enterFrameThisTick_ = false;
    bool enterFrameLastTick_ = false;
    bool scriptsRanSincePass_ = false;
};

}  // namespace zd::script
