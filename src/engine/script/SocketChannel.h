#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zd::script {

// One XMLSocket connection as the script host drives it: it sends, closes, and polls once
// per tick for what happened meanwhile. The player's is TCP; the corpus runner's a fake.
class SocketChannel {
  public:
    virtual ~SocketChannel() = default;
    virtual void send(std::string_view bytes) = 0;
    // Ends the connection from the movie's side; nothing is polled afterwards.
    virtual void close() = 0;
    struct Events {
        std::optional<bool> connected;  // the outcome of connecting, reported once
        std::string received;
        bool closed = false;  // the peer ended the connection
    };
    virtual Events poll() = 0;
};

// A channel over TCP. It makes progress while the application's event loop runs.
std::unique_ptr<SocketChannel> openTcpChannel(const std::string& host, int port);

}  // namespace zd::script
