// FileReference on the desktop: dialogs through FileDialogs, transfers through the network
// loader. Scripts hold handles, never paths: a file is read only after the user picked it, and
// a download is written only to the file the user chose, once it has fully arrived.

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSaveFile>
#include <cmath>

#include "engine/avm1/Library.h"
#include "engine/script/ScriptHost.h"

namespace zd::script {

namespace {

using avm1::lib::FileEvent;
using avm1::lib::FileFacts;
using Stage = FileEvent::Kind;

// Handlers may start requests that answer at once (a scripted desktop, a local failure): the
// pump goes round again for them, this many times at most per tick.
constexpr int kMaxFilePasses = 64;

// A transfer through the network loader.
class NetworkTransfer final : public FileTransfer {
  public:
    explicit NetworkTransfer(std::unique_ptr<engine::DataFetch> fetch) : fetch_(std::move(fetch)) {}
    State state() const override {
        switch (fetch_->state()) {
            case engine::DataFetch::State::Loading:
                return State::Loading;
            case engine::DataFetch::State::Done:
                return State::Done;
            case engine::DataFetch::State::Failed:
                break;
        }
        return State::Failed;
    }
    bool answered() const override { return fetch_->answered(); }
    int httpStatus() const override { return fetch_->httpStatus(); }
    const std::string& bytes() const override { return fetch_->bytes(); }
    std::size_t bytesTotal() const override {
        return static_cast<std::size_t>(std::max<qint64>(0, fetch_->bytesTotal()));
    }

  private:
    std::unique_ptr<engine::DataFetch> fetch_;
};

// A transfer that could not start: as an unreachable server.
class FailedTransfer final : public FileTransfer {
  public:
    State state() const override { return State::Failed; }
    bool answered() const override { return false; }
    int httpStatus() const override { return 0; }
    const std::string& bytes() const override { return none_; }
    std::size_t bytesTotal() const override { return 0; }

  private:
    std::string none_;
};

double msOrNaN(const QDateTime& t) {
    return t.isValid() ? static_cast<double>(t.toMSecsSinceEpoch())
                       : std::numeric_limits<double>::quiet_NaN();
}

// The patterns of a type list entry: "*.jpg;*.png" (blanks around them ignored).
std::vector<std::string> patternsOf(const std::string& extensions) {
    std::vector<std::string> out;
    for (const QString& p : QString::fromStdString(extensions).split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = p.trimmed();
        if (!trimmed.isEmpty()) {
            out.push_back(trimmed.toStdString());
        }
    }
    return out;
}

// The name a download proposes: the movie's, else the address's last part; never a path.
std::string suggestedFileName(std::string_view asked, const QUrl& address) {
    QString name = QString::fromUtf8(asked.data(), static_cast<qsizetype>(asked.size()));
    if (name.isEmpty()) {
        name = address.fileName();
    }
    name = name.section(u'/', -1).section(u'\\', -1);
    if (name.isEmpty() || name == u"." || name == u"..") {
        name = QStringLiteral("download");
    }
    return name.toStdString();
}

// A form field's name or file name inside its quotes.
std::string quotable(std::string_view text) {
    std::string out(text);
    for (char& ch : out) {
        if (ch == '"' || ch == '\r' || ch == '\n') {
            ch = '_';
        }
    }
    return out;
}

}  // namespace

bool ScriptHost::browseFiles(std::uint64_t id, std::span<const FileFilter> filters, bool multiple) {
    if (fileDialogs_ == nullptr || dialogsOpen_ > 0) {
        return false;
    }
    std::vector<FileTypeFilter> types;
    for (const FileFilter& f : filters) {
        types.push_back({f.description, patternsOf(f.extensions)});
    }
    FileJob& job = fileJobs_[id];
    job.kind = FileJob::Kind::Browse;
    ++dialogsOpen_;
    std::weak_ptr<bool> alive = alive_;
    fileDialogs_->open(types, multiple, [this, alive, id](std::vector<std::string> paths) {
        if (alive.expired()) {
            return;
        }
        --dialogsOpen_;
        if (auto it = fileJobs_.find(id); it != fileJobs_.end()) {
            it->second.answered = true;
            it->second.paths = std::move(paths);
        }
    });
    return true;
}

bool ScriptHost::downloadFile(std::uint64_t id, std::string_view url,
                              std::string_view suggestedName) {
    const auto address = webAddress(url, baseUrl_);
    if (!address || fileDialogs_ == nullptr || dialogsOpen_ > 0) {
        return false;
    }
    FileJob& job = fileJobs_[id];
    job.kind = FileJob::Kind::Download;
    job.url = std::string(url);
    job.address = *address;
    ++dialogsOpen_;
    std::weak_ptr<bool> alive = alive_;
    fileDialogs_->save(suggestedFileName(suggestedName, *address),
                       [this, alive, id](std::optional<std::string> path) {
                           if (alive.expired()) {
                               return;
                           }
                           --dialogsOpen_;
                           if (auto it = fileJobs_.find(id); it != fileJobs_.end()) {
                               it->second.answered = true;
                               if (path && !path->empty()) {
                                   it->second.paths.push_back(std::move(*path));
                               }
                           }
                       });
    return true;
}

bool ScriptHost::uploadFile(std::uint64_t id, std::uint64_t file, std::string_view url,
                            std::string_view field) {
    const auto picked = pickedFiles_.find(file);
    const auto address = webAddress(url, baseUrl_);
    if (picked == pickedFiles_.end() || !address) {
        return false;
    }
    FileJob& job = fileJobs_[id];
    job.kind = FileJob::Kind::Upload;
    job.answered = true;
    job.url = std::string(url);
    job.address = *address;
    job.paths.push_back(picked->second);
    // The file is read when its upload starts; one too large or gone fails it then.
    const std::string name =
        quotable(QFileInfo(QString::fromStdString(picked->second)).fileName().toStdString());
    const std::string boundary = "----------ZephyrDeckUpload" + std::to_string(id);
    job.contentType = "multipart/form-data; boundary=" + boundary;
    job.body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"Filename\"\r\n\r\n" +
               name + "\r\n--" + boundary + "\r\nContent-Disposition: form-data; name=\"" +
               quotable(field) + "\"; filename=\"" + name +
               "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    return true;
}

void ScriptHost::cancelFile(std::uint64_t id) {
    // A dialog still open stays open; its answer finds no job and is dropped.
    fileJobs_.erase(id);
}

std::unique_ptr<FileTransfer> ScriptHost::startTransfer(const TransferRequest& request) {
    if (onTransfer) {
        if (auto t = onTransfer(request)) {
            return t;
        }
        return std::make_unique<FailedTransfer>();
    }
    if (!networkLoads_) {
        return std::make_unique<FailedTransfer>();
    }
    if (network_ == nullptr) {
        network_ = std::make_unique<QNetworkAccessManager>();
    }
    const QUrl url(QString::fromStdString(request.url));
    if (request.post) {
        return std::make_unique<NetworkTransfer>(std::make_unique<engine::DataFetch>(
            *network_, url, kMaxNetworkLoad, QByteArray::fromStdString(request.contentType),
            QByteArray::fromStdString(request.body)));
    }
    return std::make_unique<NetworkTransfer>(
        std::make_unique<engine::DataFetch>(*network_, url, kMaxNetworkLoad));
}

void ScriptHost::pumpFiles() {
    for (int pass = 0; pass < kMaxFilePasses && !fileJobs_.empty(); ++pass) {
        // Handlers add and end jobs: the ids are taken first and each looked up again.
        std::vector<std::uint64_t> ids;
        for (const auto& [id, job] : fileJobs_) {
            ids.push_back(id);
        }
        bool told = false;
        for (const std::uint64_t id : ids) {
            told = advanceFile(id) || told;
        }
        if (!told) {
            break;
        }
    }
}

bool ScriptHost::advanceFile(std::uint64_t id) {
    auto it = fileJobs_.find(id);
    if (it == fileJobs_.end() || !it->second.answered) {
        return false;
    }
    FileJob& job = it->second;
    std::vector<FileEvent> events;
    // Lines for the player's log, each before the event of its index.
    std::vector<std::pair<std::size_t, std::string>> logs;
    const auto add = [&events](Stage kind) -> FileEvent& {
        events.push_back({});
        events.back().kind = kind;
        return events.back();
    };
    const auto factsOf = [this](const std::string& path, bool pickedToOpen) {
        const QFileInfo info(QString::fromStdString(path));
        FileFacts facts;
        facts.name = info.fileName().toStdString();
        if (pickedToOpen) {
            facts.handle = nextPickedFile_++;
            pickedFiles_[facts.handle] = path;
            facts.size = static_cast<double>(info.size());
            facts.created = msOrNaN(info.birthTime());
            facts.modified = msOrNaN(info.lastModified());
        }
        return facts;
    };
    bool ended = false;
    if (job.kind == FileJob::Kind::Browse) {
        FileEvent& e = add(job.paths.empty() ? Stage::Cancel : Stage::Select);
        for (const std::string& path : job.paths) {
            e.files.push_back(factsOf(path, true));
        }
        ended = true;
    } else if (job.transfer == nullptr) {
        // The dialog was answered (downloads) or the upload begins.
        if (job.paths.empty()) {
            add(Stage::Cancel);
            ended = true;
        } else if (job.kind == FileJob::Kind::Download) {
            add(Stage::Select).files.push_back(factsOf(job.paths.front(), false));
            job.transfer = startTransfer({job.address.toString().toStdString(), false, {}, {}});
        } else {
            add(Stage::Open);
            QFile file(QString::fromStdString(job.paths.front()));
            const qint64 size = file.open(QIODevice::ReadOnly) ? file.size() : -1;
            if (size < 0 || static_cast<std::size_t>(size) > kMaxNetworkLoad) {
                add(Stage::IoError);
                ended = true;
            } else {
                const QByteArray bytes = file.read(size);
                job.fileSize = static_cast<std::size_t>(bytes.size());
                job.body.append(bytes.constData(), job.fileSize);
                job.body +=
                    "\r\n--" + job.contentType.substr(job.contentType.find('=') + 1) + "--\r\n";
                job.transfer = startTransfer({job.address.toString().toStdString(), true,
                                              job.contentType, std::move(job.body)});
                job.body.clear();
            }
        }
    } else {
        const FileTransfer& t = *job.transfer;
        const FileTransfer::State state = t.state();
        const bool download = job.kind == FileJob::Kind::Download;
        if (download && !job.opened && (t.answered() || state == FileTransfer::State::Done)) {
            job.opened = true;
            add(Stage::Open);
        }
        const auto progress = [&] {
            FileEvent& e = add(Stage::Progress);
            e.loaded = static_cast<double>(t.bytes().size());
            e.total = static_cast<double>(std::max(t.bytesTotal(), t.bytes().size()));
            job.told = t.bytes().size();
        };
        if (state == FileTransfer::State::Loading) {
            if (download && t.bytes().size() > job.told) {
                progress();
            }
        } else if (state == FileTransfer::State::Done) {
            ended = true;
            if (download) {
                progress();
                // Written whole or not at all: the chosen file is replaced only by a complete one.
                QSaveFile out(QString::fromStdString(job.paths.front()));
                const std::string& bytes = t.bytes();
                if (out.open(QIODevice::WriteOnly) &&
                    out.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                        static_cast<qint64>(bytes.size()) &&
                    out.commit()) {
                    FileEvent& e = add(Stage::Complete);
                    e.files.push_back(factsOf(job.paths.front(), false));
                    e.files.back().size = static_cast<double>(bytes.size());
                } else {
                    add(Stage::IoError);
                }
            } else {
                FileEvent& e = add(Stage::Progress);
                e.loaded = e.total = static_cast<double>(job.fileSize);
                add(Stage::Complete);
            }
        } else {
            ended = true;
            if (download) {
                // The player's log names the address that failed; what the server sent with
                // its error still counts as progress.
                logs.emplace_back(events.size(), "Error opening URL '" + job.url + "'");
                add(Stage::IoError);
                if (t.answered()) {
                    progress();
                }
            } else if (t.httpStatus() >= 400) {
                add(Stage::HttpError).httpStatus = t.httpStatus();
            } else {
                add(Stage::IoError);
            }
        }
    }
    if (ended) {
        fileJobs_.erase(it);
    }
    if (events.empty()) {
        return false;
    }
    events.back().last = ended;
    auto log = logs.begin();
    for (std::size_t i = 0; i < events.size(); ++i) {
        for (; log != logs.end() && log->first == i; ++log) {
            trace(log->second);
        }
        avm1::lib::fileEvent(*vm_, id, events[i]);
    }
    return true;
}

}  // namespace zd::script
