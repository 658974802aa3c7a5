#pragma once

class QNetworkReply;
class QObject;

namespace zd::engine {

// Lets go of a download its owner no longer wants, without a second error report: Qt reports
// an error status itself as the reply ends, and aborting it first makes it report another.
// Unread, such a page cannot grow past the read buffer.
void releaseReply(QNetworkReply* reply, const QObject* owner);

}  // namespace zd::engine
