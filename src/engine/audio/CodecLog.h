#pragma once

namespace zd::engine {

// FFmpeg reports damaged data on the standard error by default; the player is no place for
// that. Its messages go to the logging category "zd.codec" instead, at debug level (turned on
// with QT_LOGGING_RULES="zd.codec.debug=true"). Safe to call often and from any thread.
void routeCodecMessages();

}  // namespace zd::engine
