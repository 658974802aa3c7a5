#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/script/SocketChannel.h"

namespace zd::script {

// A peer that plays a recorded session instead of a network: it expects the movie's bytes and
// answers with its own in the recorded order. For replaying recorded runs and for tests.
struct SocketStep {
    enum class Kind : std::uint8_t {
        Receive,            // wait until the movie sent exactly these bytes next
        Send,               // hand these bytes to the movie
        Disconnect,         // end the connection
        WaitForDisconnect,  // wait until the movie closes it
    };
    Kind kind = Kind::Send;
    std::string bytes;
};

// The steps of a recorded session ([{"type": "Send", "payload": [72, ...]}, ...]); false when
// the text is not one.
bool readSocketScript(const std::string& json, std::vector<SocketStep>& out);

class ScriptedSocket final : public SocketChannel {
  public:
    explicit ScriptedSocket(std::vector<SocketStep> steps) : steps_(std::move(steps)) {}

    void send(std::string_view bytes) override;
    void close() override { closedByMovie_ = true; }
    // Connects on the first poll; then runs the steps as far as they can go.
    Events poll() override;
    // Whether every step was played.
    bool finished() const { return at_ >= steps_.size(); }

  private:
    std::vector<SocketStep> steps_;
    std::size_t at_ = 0;
    std::string fromMovie_;
    bool connected_ = false;
    bool ended_ = false;
    bool closedByMovie_ = false;
};

}  // namespace zd::script
