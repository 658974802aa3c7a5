#pragma once

class QCoreApplication;
class QTranslator;

namespace zd {

// Qt's own Chinese texts for its standard dialogs (open, folder, colour, message boxes), so they
// speak the interface's language whatever the desktop's. Installed on `app`, which owns the
// translator; nullptr when the translations are not installed (qt6-translations-l10n).
QTranslator* installQtTranslations(QCoreApplication& app);

}  // namespace zd
