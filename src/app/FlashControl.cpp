#include "app/FlashControl.h"

#include <QActionGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDebug>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QUrl>
#include <QWheelEvent>

#include "app/Colours.h"
#include "app/MovieFileDialogs.h"
#include "app/MovieInput.h"
#include "app/MovieLinks.h"
#include "engine/audio/AudioOutput.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/MovieRunner.h"
#include "engine/render/DamageTracker.h"
#include "engine/render/Renderer.h"
#include "engine/render/StageRenderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/script/ScriptHost.h"
#include "platform/Services.h"

namespace zd {

namespace {
// The value the control is built with: colour 000001.
constexpr qint32 kInitialBackground = 1;

// Input fields copy to and paste from the desktop's clipboard.
class DesktopClipboard final : public engine::Clipboard {
  public:
    std::u32string text() const override {
        const QList<uint> chars = QGuiApplication::clipboard()->text().toUcs4();
        return std::u32string(chars.begin(), chars.end());
    }
    void setText(const std::u32string& text) override {
        QGuiApplication::clipboard()->setText(
            QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size())));
    }
};

DesktopClipboard& desktopClipboard() {
    static DesktopClipboard clipboard;
    return clipboard;
}

// The editing command a key or shortcut stands for on this desktop, if any.
std::optional<engine::TextCommand> textCommandOf(const QKeyEvent& event) {
    if (event.matches(QKeySequence::Copy)) {
        return engine::TextCommand::Copy;
    }
    if (event.matches(QKeySequence::Cut)) {
        return engine::TextCommand::Cut;
    }
    if (event.matches(QKeySequence::Paste)) {
        return engine::TextCommand::Paste;
    }
    if (event.matches(QKeySequence::SelectAll)) {
        return engine::TextCommand::SelectAll;
    }
    switch (event.key()) {
        case Qt::Key_Left:
            return engine::TextCommand::MoveLeft;
        case Qt::Key_Right:
            return engine::TextCommand::MoveRight;
        case Qt::Key_Home:
            return engine::TextCommand::LineStart;
        case Qt::Key_End:
            return engine::TextCommand::LineEnd;
        case Qt::Key_Backspace:
            return engine::TextCommand::Backspace;
        case Qt::Key_Delete:
            return engine::TextCommand::Delete;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return engine::TextCommand::Enter;
        default:
            return std::nullopt;
    }
}
}  // namespace

FlashControl::FlashControl(QWidget* parent)
    : QWidget(parent),
      audio_(std::make_unique<engine::AudioOutput>()),
      sound_(std::make_unique<engine::TimelineSound>(*audio_)),
      runner_(std::make_unique<engine::MovieRunner>()),
      renderer_(std::make_unique<engine::Renderer>(engine::standardRenderHooks())),
      damage_(std::make_unique<engine::DamageTracker>()) {
    background_ = kInitialBackground;
    runner_->setSoundHooks(sound_.get());
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The movie answers the mouse without a button held, and takes the keys once clicked.
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    links_ = std::make_unique<MovieLinks>();
    fileDialogs_ = std::make_unique<MovieFileDialogs>(this);
    linkClock_.start();
    // Each movie's scripts run on its own display tree; what they ask of the world outside
    // passes here: loads from the movie's folder only, addresses through MovieLinks.
    runner_->setScriptFactory([this](engine::StagePlayer& display, const engine::MovieData& movie) {
        auto host = std::make_unique<script::ScriptHost>(display, movie);
        host->setBaseDir(movieFolder(runner_->movie()).toStdString());
        // Sounds, videos and data may come from the web, as the movie itself may.
        host->setNetworkLoads(true);
        if (const QString movie = runner_->movie();
            movie.startsWith(u"http://", Qt::CaseInsensitive) ||
            movie.startsWith(u"https://", Qt::CaseInsensitive)) {
            host->setBaseUrl(movie.toStdString());
            host->setMovieUrl(movie.toStdString());
        } else {
            host->setMovieUrl(QUrl::fromLocalFile(movie).toString().toStdString());
        }
        host->setSharedObjectDir(sharedObjectFolder(runner_->movie()).toStdString());
        if (const QScreen* shown = screen(); shown != nullptr) {
            host->setScreenResolution(shown->size().width(), shown->size().height());
        }
        host->setViewSize(width(), height());
        host->setClipboard(&desktopClipboard());
        // FileReference picks and saves files only through dialogs the user answers.
        host->setFileDialogs(fileDialogs_.get());
        host->onUrl = [this](const script::UrlRequest& r) {
            if (auto url = links_->admit(QString::fromStdString(r.url), linkClock_.elapsed())) {
                platform::shell().openDocument(*url);
            }
        };
        // XMLSocket connections are plain TCP, and never to the well-known ports below 1024
        // (mail, web and the like), which a movie has no business talking to.
        host->onSocket = [](const std::string& address,
                            int port) -> std::unique_ptr<script::SocketChannel> {
            if (port < 1024 || port > 65535) {
                return nullptr;
            }
            return script::openTcpChannel(address, port);
        };
        // For checking movies: ZD_TRACE_FILE names a file their trace output is added to.
        if (const QString tracePath = qEnvironmentVariable("ZD_TRACE_FILE"); !tracePath.isEmpty()) {
            auto file = std::make_shared<QFile>(tracePath);
            if (file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
                host->onTrace = [file](std::string_view line) {
                    file->write(line.data(), static_cast<qint64>(line.size()));
                    file->write("\n");
                    file->flush();
                };
            }
        }
        host->onError = [](std::string_view e) {
            qWarning("script error: %.*s", static_cast<int>(e.size()), e.data());
        };
        return host;
    });
    connect(runner_.get(), &engine::MovieRunner::readyStateChanged, this, [this](int state) {
        if (loop_ && runner_->display() != nullptr) {
            runner_->display()->setRootLoops(true);
        }
        invalidateFrame();
        emit readyStateChange(state);
    });
    // A new frame that changes nothing on the stage is not drawn again: displayChanged says
    // when the picture differs.
    connect(runner_.get(), &engine::MovieRunner::frameShown, this, [this] { emit frameShown(); });
    // Frames arriving may complete what the current frame shows.
    connect(runner_.get(), &engine::MovieRunner::loadProgress, this, [this] { invalidateFrame(); });
    connect(runner_.get(), &engine::MovieRunner::loadFailed, this, [this] { invalidateFrame(); });
    connect(runner_.get(), &engine::MovieRunner::displayChanged, this,
            &FlashControl::displayChanged);
}

FlashControl::~FlashControl() = default;

void FlashControl::setMovie(const QString& pathOrAddress) {
    runner_->setMovie(pathOrAddress);
    // The movie put starts playing, and its sound with it (the last one's has stopped).
    sound_->setHeld(false);
    renderer_->clearCaches();
    invalidateFrame();
}

void FlashControl::invalidateFrame() {
    frameCacheValid_ = false;
    stale_ = QRegion();
    damage_->invalidate();
    update();
}

QTransform FlashControl::deviceTransform() const {
    return engine::stageTransform(runner_->stage(), movieTarget());
}

void FlashControl::displayChanged() {
    engine::StagePlayer* display = runner_->hasMovie() ? runner_->display() : nullptr;
    // A script that moved or rescaled the stage changes every pixel.
    const QRectF target = movieTarget();
    const bool moved = std::exchange(shownTarget_, target) != target;
    if (!frameCacheValid_ || moved || frameCache_.size() != size() || display == nullptr) {
        invalidateFrame();
        return;
    }
    const auto region =
        damage_->damage(*renderer_, *display, deviceTransform(), QRect(QPoint(0, 0), size()));
    if (!region) {
        invalidateFrame();
        return;
    }
    if (!region->isEmpty()) {
        stale_ += *region;
        update(*region);
    }
}

QString FlashControl::movie() const {
    return runner_->movie();
}

void FlashControl::setPlaying(bool playing) {
    runner_->setPlaying(playing);
    sound_->setHeld(!playing);
}

bool FlashControl::playing() const {
    return runner_->isPlaying();
}

std::optional<qint32> FlashControl::frameNum() const {
    if (!runner_->hasMovie()) {
        return std::nullopt;
    }
    return runner_->currentFrame();
}

std::optional<qint32> FlashControl::totalFrames() const {
    if (!runner_->hasMovie()) {
        return std::nullopt;
    }
    return runner_->totalFrames();
}

std::optional<qint32> FlashControl::percentLoaded() const {
    // While the header is still on its way there is a movie, just no frames yet.
    if (runner_->loadState() != engine::MovieRunner::LoadState::Ready &&
        runner_->loadState() != engine::MovieRunner::LoadState::Loading) {
        return std::nullopt;
    }
    return runner_->percentLoaded();
}

bool FlashControl::setFrameNum(qint32 frame) {
    return runner_->gotoFrame(frame);
}

void FlashControl::setBackgroundColor(qint32 color) {
    background_ = color;
    invalidateFrame();
}

qint32 FlashControl::backgroundColor() const {
    return background_;
}

engine::MovieRunner* FlashControl::runner() const {
    return runner_.get();
}

QColor FlashControl::playbackBackground() const {
    if (background_ != kNoBackgroundOverride)
        return colours::fromBgr(static_cast<quint32>(background_));
    // The movie's own colour; white without one.
    return runner_->backgroundColor();
}

void FlashControl::paintEvent(QPaintEvent* event) {
    const QSize size = this->size();
    engine::StagePlayer* display = runner_->hasMovie() ? runner_->display() : nullptr;
    if (frameCacheValid_ && frameCache_.size() == size && display != nullptr && !stale_.isEmpty()) {
        // Only what changed is drawn again, each part through a window into the picture.
        const QRectF target = movieTarget();
        for (const QRect& r : stale_) {
            QImage part(frameCache_.bits() + r.y() * frameCache_.bytesPerLine() + r.x() * 4,
                        r.width(), r.height(), frameCache_.bytesPerLine(),
                        QImage::Format_ARGB32_Premultiplied);
            if (!target.contains(QRectF(r))) {
                part.fill(playbackBackground());  // the bands beside a stage placed by the movie
            }
            renderer_->renderStage(part, target.translated(-r.x(), -r.y()), *display,
                                   runner_->stage(), playbackBackground());
        }
        lastDrawn_ = stale_;
        stale_ = QRegion();
        ++picturesDrawn_;
    }
    if (!frameCacheValid_ || frameCache_.size() != size) {
        // Drawn only when something changed: a repaint of the same frame reuses the picture.
        if (frameCache_.size() != size) {
            frameCache_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
        }
        const QRectF target = movieTarget();
        shownTarget_ = target;
        if (display != nullptr && !frameCache_.isNull()) {
            // What the tree changed until now is in this picture.
            damage_->damage(*renderer_, *display, deviceTransform(), QRect(QPoint(0, 0), size));
            if (!target.contains(QRectF(frameCache_.rect()))) {
                frameCache_.fill(playbackBackground());  // the renderer fills only the stage
            }
            renderer_->renderStage(frameCache_, target, *display, runner_->stage(),
                                   playbackBackground());
        } else if (!frameCache_.isNull()) {
            frameCache_.fill(playbackBackground());
        }
        frameCacheValid_ = true;
        stale_ = QRegion();
        lastDrawn_ = QRegion(QRect(QPoint(0, 0), size));
        ++picturesDrawn_;
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(0, 0, frameCache_);
}

QRectF FlashControl::movieTarget() const {
    const QRectF whole(QPointF(0, 0), QSizeF(size()));
    if (!zoom_.isEmpty()) {
        return zoom_;
    }
    // The movie may ask for its stage unscaled, cropped or held to an edge.
    const auto* host = dynamic_cast<const script::ScriptHost*>(runner_->movieScripts());
    if (host == nullptr || !runner_->hasMovie()) {
        return whole;
    }
    const QSizeF stage(runner_->stage().width() / 20.0, runner_->stage().height() / 20.0);
    const QRectF placed = engine::placedStageRect(stage, whole, host->stageSettings().scaleMode,
                                                  host->stageSettings().align);
    return placed.isEmpty() ? whole : placed;
}

std::optional<QPointF> FlashControl::stagePointOf(QPointF widgetPoint) const {
    if (!runner_->hasMovie()) {
        return std::nullopt;
    }
    return engine::targetToStagePixels(runner_->stage(), movieTarget(), widgetPoint);
}

void FlashControl::sendInput(const engine::InputEvent& event) {
    QPointer<FlashControl> alive(this);
    runner_->input(event);
    if (alive) {
        updateCursor();
    }
}

void FlashControl::sendMouse(engine::InputEvent::Type type, QPointF widgetPoint,
                             Qt::MouseButton button) {
    const auto at = stagePointOf(widgetPoint);
    if (!at) {
        return;
    }
    engine::InputEvent e;
    e.type = type;
    e.x = at->x();
    e.y = at->y();
    e.button = button == Qt::RightButton    ? engine::MouseButton::Right
               : button == Qt::MiddleButton ? engine::MouseButton::Middle
                                            : engine::MouseButton::Left;
    sendInput(e);
}

void FlashControl::updateCursor() {
    auto* host = dynamic_cast<script::ScriptHost*>(runner_->movieScripts());
    if (host == nullptr) {
        unsetCursor();
        return;
    }
    if (host->mouseHidden()) {
        setCursor(Qt::BlankCursor);
    } else if (host->handCursor()) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void FlashControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->ignore();  // the menu comes with the context-menu event
        return;
    }
    sendMouse(engine::InputEvent::Type::MouseDown, event->position(), event->button());
}

void FlashControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->ignore();
        return;
    }
    sendMouse(engine::InputEvent::Type::MouseUp, event->position(), event->button());
}

void FlashControl::mouseMoveEvent(QMouseEvent* event) {
    sendMouse(engine::InputEvent::Type::MouseMove, event->position());
    event->ignore();  // the windows watch the mouse moving over the movie too
}

void FlashControl::wheelEvent(QWheelEvent* event) {
    const int lines = event->angleDelta().y() / 40;  // 120 a notch, three lines a notch
    if (lines == 0 || !runner_->hasMovie()) {
        event->ignore();
        return;
    }
    engine::InputEvent e;
    e.type = engine::InputEvent::Type::MouseWheel;
    e.wheel = lines;
    sendInput(e);
}

namespace {

std::u32string printableOf(const QString& text) {
    std::u32string out;
    for (const uint c : text.toUcs4()) {
        if (c >= 32 && c != 127) {
            out.push_back(static_cast<char32_t>(c));
        }
    }
    return out;
}

}  // namespace

void FlashControl::keyPressEvent(QKeyEvent* event) {
    const auto key = movieKeyOf(event->key(), event->text());
    if (!key || !runner_->hasMovie()) {
        QWidget::keyPressEvent(event);
        return;
    }
    engine::InputEvent e;
    e.type = engine::InputEvent::Type::KeyDown;
    e.keyCode = key->code;
    e.ascii = key->ascii;
    sendInput(e);
    if (const auto command = textCommandOf(*event)) {
        engine::InputEvent edit;
        edit.type = engine::InputEvent::Type::TextEdit;
        edit.command = *command;
        sendInput(edit);
    } else {
        // The text the keyboard layout made of the key (several characters after a dead
        // key, none for the dead key itself); a synthetic event may carry none.
        std::u32string text = printableOf(event->text());
        if (text.empty() && event->text().isEmpty() && key->ascii >= 32 && key->ascii != 127) {
            text = std::u32string(1, key->ascii);
        }
        if (!text.empty()) {
            engine::InputEvent typed;
            typed.type = engine::InputEvent::Type::TextInput;
            typed.text = std::move(text);
            sendInput(typed);
        }
    }
}

void FlashControl::inputMethodEvent(QInputMethodEvent* event) {
    if (!runner_->hasMovie()) {
        QWidget::inputMethodEvent(event);
        return;
    }
    // The settled text first: it replaces what was being composed.
    if (std::u32string committed = printableOf(event->commitString()); !committed.empty()) {
        engine::InputEvent typed;
        typed.type = engine::InputEvent::Type::TextInput;
        typed.text = std::move(committed);
        sendInput(typed);
    }
    engine::InputEvent composing;
    composing.type = engine::InputEvent::Type::ImePreedit;
    composing.text = printableOf(event->preeditString());
    for (const QInputMethodEvent::Attribute& a : event->attributes()) {
        if (a.type == QInputMethodEvent::Cursor) {
            composing.preeditCursor = a.start;
        }
    }
    sendInput(composing);
    event->accept();
}

void FlashControl::keyReleaseEvent(QKeyEvent* event) {
    const auto key = movieKeyOf(event->key(), event->text());
    if (!key || !runner_->hasMovie() || event->isAutoRepeat()) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    engine::InputEvent e;
    e.type = engine::InputEvent::Type::KeyUp;
    e.keyCode = key->code;
    e.ascii = key->ascii;
    sendInput(e);
}

void FlashControl::focusOutEvent(QFocusEvent* event) {
    if (runner_->hasMovie()) {
        engine::InputEvent e;
        e.type = engine::InputEvent::Type::FocusLost;
        sendInput(e);
    }
    QWidget::focusOutEvent(event);
}

bool FlashControl::focusNextPrevChild(bool next) {
    if (hasFocus() && runner_->hasMovie()) {
        return false;
    }
    return QWidget::focusNextPrevChild(next);
}

void FlashControl::resizeEvent(QResizeEvent* event) {
    zoom_ = QRectF();
    if (auto* host = dynamic_cast<script::ScriptHost*>(runner_->movieScripts())) {
        host->setViewSize(width(), height());
    }
    QWidget::resizeEvent(event);
}

void FlashControl::zoomAt(QPointF widgetPoint, double factor) {
    const QRectF whole(QPointF(0, 0), QSizeF(size()));
    const QRectF current = movieTarget();
    // The point under the mouse stays where it is.
    QRectF next(widgetPoint + (current.topLeft() - widgetPoint) * factor, current.size() * factor);
    constexpr double kMaxZoom = 20.0;
    if (next.width() <= whole.width() + 0.5 || next.height() <= whole.height() + 0.5) {
        next = QRectF();
    } else if (next.width() > whole.width() * kMaxZoom) {
        return;
    }
    zoom_ = next;
    invalidateFrame();
}

void FlashControl::contextMenuEvent(QContextMenuEvent* event) {
    // Outside the movie the windows' own menus answer.
    const QSizeF stage(runner_->stage().width(), runner_->stage().height());
    const QRectF shown = engine::showAllRect(stage, movieTarget());
    if (!runner_->hasMovie() || !shown.contains(event->pos())) {
        event->ignore();
        return;
    }
    // The movie may change its menu before it shows (ContextMenu.onSelect).
    engine::InputEvent opening;
    opening.type = engine::InputEvent::Type::ContextMenu;
    const auto stagePoint = stagePointOf(event->pos());
    opening.x = stagePoint ? stagePoint->x() : 0.0;
    opening.y = stagePoint ? stagePoint->y() : 0.0;
    QPointer<FlashControl> alive(this);
    sendInput(opening);
    if (!alive || !runner_->hasMovie()) {
        return;
    }
    script::MovieMenu wanted;
    if (auto* host = dynamic_cast<script::ScriptHost*>(runner_->movieScripts())) {
        wanted = host->movieMenu();
        if (!host->stageSettings().showMenu) {
            // The movie asked for none of the player's own entries (its own items stay).
            wanted.zoom = wanted.quality = wanted.play = wanted.loop = false;
            wanted.rewind = wanted.forwardBack = false;
        }
    }
    QMenu menu(this);
    // A line between groups, never two in a row nor one at the top.
    const auto section = [&menu] {
        if (!menu.isEmpty() && !menu.actions().constLast()->isSeparator()) {
            menu.addSeparator();
        }
    };
    for (std::size_t i = 0; i < wanted.items.size(); ++i) {
        const script::MovieMenu::Item& item = wanted.items[i];
        if (item.separatorBefore) {
            section();
        }
        // A caption's "&" is the movie's text, not a shortcut mark.
        QString caption = QString::fromStdString(item.caption);
        caption.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction* a = menu.addAction(caption, this, [this, i] {
            engine::InputEvent chosen;
            chosen.type = engine::InputEvent::Type::MenuItem;
            chosen.menuItem = static_cast<int>(i);
            sendInput(chosen);
        });
        a->setEnabled(item.enabled);
    }
    section();
    const QPointF at = event->pos();
    const bool zoomed = !zoom_.isEmpty();
    if (wanted.zoom) {
        menu.addAction(tr("Zoom In"), this, [this, at] { zoomAt(at, 2.0); });
        menu.addAction(tr("Zoom Out"), this, [this, at] { zoomAt(at, 0.5); })->setEnabled(zoomed);
        QAction* showAll = menu.addAction(tr("Show All"), this, [this] {
            zoom_ = QRectF();
            invalidateFrame();
        });
        showAll->setEnabled(zoomed);
        section();
    }
    if (wanted.quality) {
        QMenu* quality = menu.addMenu(tr("Quality"));
        auto* qualities = new QActionGroup(quality);
        const QString names[] = {tr("Low"), tr("Medium"), tr("High")};
        for (int level = 0; level < 3; ++level) {
            QAction* a = quality->addAction(names[level], this, [this, level] {
                quality_ = level;
                engine::RenderOptions o = renderer_->options();
                o.antialias = level > 0;  // medium and high both smooth
                renderer_->setOptions(o);
                invalidateFrame();
            });
            a->setCheckable(true);
            a->setChecked(level == quality_);
            qualities->addAction(a);
        }
        section();
    }
    if (wanted.play) {
        QAction* play = menu.addAction(tr("Play"), this, [this] { setPlaying(!playing()); });
        play->setCheckable(true);
        play->setChecked(playing());
    }
    if (wanted.loop) {
        QAction* loop = menu.addAction(tr("Loop"), this, [this] {
            loop_ = !loop_;
            if (runner_->display() != nullptr) {
                runner_->display()->setRootLoops(loop_);
            }
        });
        loop->setCheckable(true);
        loop->setChecked(loop_);
    }
    section();
    if (wanted.rewind) {
        menu.addAction(tr("Rewind"), this, [this] { setFrameNum(0); });
    }
    if (wanted.forwardBack) {
        menu.addAction(tr("Forward"), this, [this] {
            if (const auto f = frameNum()) {
                setFrameNum(*f + 1);
            }
        });
        menu.addAction(tr("Back"), this, [this] {
            if (const auto f = frameNum(); f && *f > 0) {
                setFrameNum(*f - 1);
            }
        });
    }
    section();
    menu.addAction(tr("About"), this, [this] { emit aboutRequested(); });
    menu.exec(event->globalPos());
}

}  // namespace zd
