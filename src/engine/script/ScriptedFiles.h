#pragma once

#include <memory>
#include <string>

#include "engine/script/FileDialogs.h"

namespace zd::script {

// A desktop that answers FileReference by what the movie itself asks, for replaying recorded
// runs and for tests. One rule covers it all: a dialog or address whose text carries a marker
// "debug-<answer>" gets that answer, and anything without one the plain refusal.
//  - Open dialog: a type description marked "...success" picks "test.txt" (several:
//    "test1.txt" to "test3.txt"), made in the fake's folder; otherwise it is cancelled.
//  - Save dialog: a proposed name marked "...success" is chosen in the folder; otherwise it
//    is cancelled.
//  - Address: "...success" answers 200 with a short document, "error-statuscode" 404 with a
//    short page; anything else is an unknown host.
class ScriptedFiles final : public FileDialogs {
  public:
    // folder: where picked files are made and downloads go.
    explicit ScriptedFiles(std::string folder) : folder_(std::move(folder)) {}

    void open(const std::vector<FileTypeFilter>& filters, bool multiple, OpenDone done) override;
    void save(const std::string& suggestedName, SaveDone done) override;
    std::unique_ptr<FileTransfer> transfer(const TransferRequest& request) const;

    enum class Answer : std::uint8_t { Refused, Success, StatusError };
    // The answer the marker in `text` asks for.
    static Answer answerOf(const std::string& text);

  private:
    std::string folder_;
};

}  // namespace zd::script
