#include <QApplication>

#include "mainwindow/Form1.h"
#include "program/Fonts.h"
#include "program/Program.h"
#include "program/SessionEnd.h"
#include "program/Translations.h"
#include "program/Windows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZephyrDeck"));
    QApplication::setQuitOnLastWindowClosed(false);
    zd::installFontSubstitutes();
    zd::installQtTranslations(app);
    zd::installSessionEndHandling(app);

    zd::Form1& main = zd::form1();  // its load step runs the whole start-up
    if (!zd::exitRoutineStarted())
        main.show();
    const int rc = zd::exitRoutineStarted() ? 0 : app.exec();
    zd::discardAllWindows();
    // Windows unloaded by the exit routine are waiting for deletion.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return rc;
}
