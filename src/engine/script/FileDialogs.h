#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zd::script {

// A choice of file types an open dialog offers: its description and its patterns ("*.txt").
struct FileTypeFilter {
    std::string description;
    std::vector<std::string> patterns;
};

// The dialogs a movie's FileReference asks the desktop for. The program's show Qt's file
// dialogs; the corpus runner's and the tests' answer by a fixed rule. Either way an answer
// comes exactly once through `done`, at once or later from the event loop, and only a path
// the user picked or chose ever reaches the script host.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // Files to open, one or (multiple) several; an empty list: cancelled.
    using OpenDone = std::function<void(std::vector<std::string> paths)>;
    virtual void open(const std::vector<FileTypeFilter>& filters, bool multiple, OpenDone done) = 0;
    // Where to save a download, proposing a name; nothing: cancelled.
    using SaveDone = std::function<void(std::optional<std::string> path)>;
    virtual void save(const std::string& suggestedName, SaveDone done) = 0;
};

// What a download or upload asks of the network: a get of url, or a post of body.
struct TransferRequest {
    std::string url;
    bool post = false;
    std::string contentType;
    std::string body;
};

// One transfer as the script host looks at it once per tick.
class FileTransfer {
  public:
    virtual ~FileTransfer() = default;
    enum class State : std::uint8_t { Loading, Done, Failed };
    virtual State state() const = 0;
    // Whether the server answered (an error status is an answer; an unknown host is not).
    virtual bool answered() const = 0;
    virtual int httpStatus() const = 0;  // 0: none seen
    // The bytes of the answer so far, and the length the server announced (0: not said).
    virtual const std::string& bytes() const = 0;
    virtual std::size_t bytesTotal() const = 0;
};

}  // namespace zd::script
