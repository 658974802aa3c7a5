// What the floating-window, drop and tray tests share: the skin tests' fixture (faked platform,
// mouse events), drag-and-drop events, movies written for the test, a web server that hands a
// movie out in two parts, and the play list's entries.
#pragma once

#include <QMimeData>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <vector>

#include "../options/OptionsFixture.h"
#include "../skin/SkinFixture.h"
#include "options/Dialog.h"
#include "platform/AppFolder.h"
#include "swfwriter/SwfWriter.h"

namespace zd::testing {

class FloatFixture : public SkinFixture {
  public:
    // An uncompressed movie of `frames` frames, each carrying `padding` bytes of an unknown tag
    // (so it is long enough to arrive in parts).
    static QByteArray movieBytes(int frames, int padding = 0) {
        swfwriter::MovieWriter writer(8, {0, 4000, 0, 3000}, 12.0);
        const std::vector<std::uint8_t> filler(static_cast<std::size_t>(padding), 0x5a);
        for (int i = 0; i < frames; ++i) {
            if (padding > 0)
                writer.rawTag(777, filler, true);
            writer.showFrame();
        }
        const swfwriter::Bytes bytes = writer.finish();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    }

    QString movie(const QString& name, int frames = 5) const {
        const QString path = movies->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(movieBytes(frames)) < 0)
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

    // What a file manager drags: the files' URLs and their names as text.
    static std::unique_ptr<QMimeData> filesDrag(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        data->setText(paths.join(QLatin1Char('\n')));
        return data;
    }
    static std::unique_ptr<QMimeData> textDrag(const QString& text) {
        auto data = std::make_unique<QMimeData>();
        data->setText(text);
        return data;
    }
};

// A web server on 127.0.0.1 serving one body: the first `firstPart` bytes at once, the rest
// when the test calls sendRest(). An empty body answers 404.
class TwoPartServer {
  public:
    TwoPartServer(QByteArray body, qsizetype firstPart)
        : body_(std::move(body)), firstPart_(firstPart) {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { answer(socket); });
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
    }

    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/movie.swf").arg(server_.serverPort());
    }

    void sendRest() {
        for (const QPointer<QTcpSocket>& socket : sockets_) {
            if (!socket)
                continue;
            socket->write(body_.mid(firstPart_));
            socket->disconnectFromHost();
        }
    }

  private:
    void answer(QTcpSocket* socket) {
        request_ += socket->readAll();
        if (!request_.contains("\r\n\r\n") || sockets_.contains(socket))
            return;
        sockets_ << socket;
        if (body_.isEmpty()) {
            socket->write(
                "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/x-shockwave-flash\r\n");
        socket->write("Content-Length: " + QByteArray::number(body_.size()) + "\r\n");
        socket->write("Connection: close\r\n\r\n");
        socket->write(body_.left(firstPart_));
    }

    QByteArray body_;
    qsizetype firstPart_;
    QByteArray request_;
    QList<QPointer<QTcpSocket>> sockets_;
    QTcpServer server_;
};

}  // namespace zd::testing
