#include "engine/script/ScriptedSocket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace zd::script {

bool readSocketScript(const std::string& json, std::vector<SocketStep>& out) {
    out.clear();
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())));
    if (!doc.isArray()) {
        return false;
    }
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        const QString type = o["type"].toString();
        SocketStep step;
        if (type == u"Receive" || type == u"Send") {
            step.kind = type == u"Send" ? SocketStep::Kind::Send : SocketStep::Kind::Receive;
            for (const QJsonValue& b : o[type == u"Send" ? "payload" : "expected"].toArray()) {
                const int byte = b.toInt(-1);
                if (byte < 0 || byte > 255) {
                    return false;
                }
                step.bytes.push_back(static_cast<char>(byte));
            }
        } else if (type == u"Disconnect") {
            step.kind = SocketStep::Kind::Disconnect;
        } else if (type == u"WaitForDisconnect") {
            step.kind = SocketStep::Kind::WaitForDisconnect;
        } else {
            return false;
        }
        out.push_back(std::move(step));
    }
    return true;
}

void ScriptedSocket::send(std::string_view bytes) {
    if (!ended_ && !closedByMovie_) {
        fromMovie_.append(bytes);
    }
}

SocketChannel::Events ScriptedSocket::poll() {
    Events e;
    if (!connected_) {
        connected_ = true;
        e.connected = true;
        return e;
    }
    while (!ended_ && at_ < steps_.size()) {
        const SocketStep& step = steps_[at_];
        if (step.kind == SocketStep::Kind::Receive) {
            if (fromMovie_.size() < step.bytes.size()) {
                break;
            }
            if (fromMovie_.compare(0, step.bytes.size(), step.bytes) != 0) {
                ended_ = true;  // not what was recorded: the peer gives up
                e.closed = true;
                break;
            }
            fromMovie_.erase(0, step.bytes.size());
        } else if (step.kind == SocketStep::Kind::Send) {
            e.received += step.bytes;
        } else if (step.kind == SocketStep::Kind::Disconnect) {
            ended_ = true;
            e.closed = true;
        } else if (!closedByMovie_) {
            break;
        }
        ++at_;
    }
    return e;
}

}  // namespace zd::script
