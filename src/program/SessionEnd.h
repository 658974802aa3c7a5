#pragma once

class QApplication;

namespace zd {

// SIGTERM, SIGINT and the desktop session ending run the program's exit routine, so the
// unload steps save what they save before the process ends.
void installSessionEndHandling(QApplication& app);

}  // namespace zd
