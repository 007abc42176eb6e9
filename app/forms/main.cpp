// The program's entry point: the application object, the wizard window and
// the event loop. Exceptions that escape end in the crash dialog.
#include "Main.h"
#include "Application.h"

#include <QEvent>

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    CallGuarded([] {
        QApplication::setApplicationName(QStringLiteral("Tessmark"));
        (new TfmMain)->show();
        QApplication::exec();
        return true;
    });
    // A window closed in the last moments is destroyed here, so that its
    // settings are saved all the same.
    CallGuarded([] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete fmMain;
        return true;
    });
    return 0;
}
