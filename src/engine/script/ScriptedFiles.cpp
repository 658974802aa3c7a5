#include "engine/script/ScriptedFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zd::script {

namespace {

class AnsweredTransfer final : public FileTransfer {
  public:
    AnsweredTransfer(State state, bool answered, int status, std::string body)
        : state_(state), answered_(answered), status_(status), body_(std::move(body)) {}
    State state() const override { return state_; }
    bool answered() const override { return answered_; }
    int httpStatus() const override { return status_; }
    const std::string& bytes() const override { return body_; }
    std::size_t bytesTotal() const override { return body_.size(); }

  private:
    State state_;
    bool answered_;
    int status_;
    std::string body_;
};

}  // namespace

ScriptedFiles::Answer ScriptedFiles::answerOf(const std::string& text) {
    static constexpr std::string_view kMarker = "debug-";
    const std::size_t at = text.find(kMarker);
    if (at == std::string::npos) {
        return Answer::Refused;
    }
    std::size_t end = at + kMarker.size();
    while (end < text.size() && ((text[end] >= 'a' && text[end] <= 'z') || text[end] == '-')) {
        ++end;
    }
    const std::string word = text.substr(at + kMarker.size(), end - at - kMarker.size());
    if (word.ends_with("success")) {
        return Answer::Success;
    }
    return word == "error-statuscode" ? Answer::StatusError : Answer::Refused;
}

void ScriptedFiles::open(const std::vector<FileTypeFilter>& filters, bool multiple, OpenDone done) {
    bool pick = false;
    for (const FileTypeFilter& f : filters) {
        pick = pick || answerOf(f.description) == Answer::Success;
    }
    std::vector<std::string> paths;
    if (pick) {
        const QDir dir(QString::fromStdString(folder_));
        const int count = multiple ? 3 : 1;
        for (int i = 1; i <= count; ++i) {
            const QString name =
                multiple ? QStringLiteral("test%1.txt").arg(i) : QStringLiteral("test.txt");
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::WriteOnly)) {
                file.write("Hello from " + name.toUtf8() + "\n");
                paths.push_back(file.fileName().toStdString());
            }
        }
    }
    done(std::move(paths));
}

void ScriptedFiles::save(const std::string& suggestedName, SaveDone done) {
    if (answerOf(suggestedName) != Answer::Success) {
        done(std::nullopt);
        return;
    }
    const QString name = QFileInfo(QString::fromStdString(suggestedName)).fileName();
    done(QDir(QString::fromStdString(folder_)).filePath(name).toStdString());
}

std::unique_ptr<FileTransfer> ScriptedFiles::transfer(const TransferRequest& request) const {
    using State = FileTransfer::State;
    switch (answerOf(request.url)) {
        case Answer::Success:
            return std::make_unique<AnsweredTransfer>(State::Done, true, 200, "success\n");
        case Answer::StatusError:
            return std::make_unique<AnsweredTransfer>(State::Failed, true, 404, "not found\n");
        case Answer::Refused:
            break;
    }
    return std::make_unique<AnsweredTransfer>(State::Failed, false, 0, std::string());
}

}  // namespace zd::script
