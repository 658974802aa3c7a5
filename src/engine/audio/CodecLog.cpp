#include "engine/audio/CodecLog.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QLoggingCategory>
#include <cstdarg>
#include <mutex>

namespace zd::engine {

namespace {

Q_LOGGING_CATEGORY(lcCodec, "zd.codec", QtInfoMsg)

void forward(void* context, int level, const char* format, va_list args) {
    if (level > AV_LOG_WARNING || !lcCodec().isDebugEnabled()) {
        return;
    }
    char line[1024];
    int prefix = 1;
    av_log_format_line(context, level, format, args, line, sizeof line, &prefix);
    qCDebug(lcCodec, "%s", QByteArray(line).trimmed().constData());
}

}  // namespace

void routeCodecMessages() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(forward); });
}

}  // namespace zd::engine
