#include <QTcpSocket>

#include "engine/script/SocketChannel.h"

namespace zd::script {

namespace {

class TcpChannel final : public SocketChannel {
  public:
    TcpChannel(const std::string& host, int port) {
        socket_.connectToHost(QString::fromStdString(host), static_cast<quint16>(port));
    }

    void send(std::string_view bytes) override {
        if (socket_.state() != QAbstractSocket::UnconnectedState) {
            socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }
    }

    void close() override { socket_.abort(); }

    Events poll() override {
        Events e;
        const auto state = socket_.state();
        if (!reported_) {
            if (state == QAbstractSocket::ConnectedState) {
                e.connected = true;
                reported_ = true;
            } else if (state == QAbstractSocket::UnconnectedState) {
                e.connected = false;  // refused, unknown host, timed out
                reported_ = true;
                return e;
            } else {
                return e;
            }
        }
        const QByteArray bytes = socket_.readAll();
        e.received.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        e.closed = state == QAbstractSocket::UnconnectedState;
        return e;
    }

  private:
    QTcpSocket socket_;
    bool reported_ = false;
};

}  // namespace

std::unique_ptr<SocketChannel> openTcpChannel(const std::string& host, int port) {
    return std::make_unique<TcpChannel>(host, port);
}

}  // namespace zd::script
