// The program's entry point: the application object, the wizard window and
// the event loop. Exceptions that escape end in the crash dialog.
#include "Main.h"
#include "AppIcon.h"
#include "Application.h"
#include "Apputil.h"
#include "CxDebugUtil.h"
#include "MessageBox.h"
#include "StartupGuard.h"

#include <QEvent>
#include <string>

int main(int argc, char* argv[]) {
    ProtectProcess();
    TApplication app(argc, argv);
    // The desktop entry's icon on every window; the entry's name ties the windows to it.
    QApplication::setWindowIcon(TessmarkIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSMARK_APP_ID));
    // One Tessmark per data folder: the exchange files are shared by all of them.
    CxInstanceLock instance;
    char folder[260] = {};
    if (GetDataFolder(folder)) {
        if (!instance.Acquire(folder)) {
            ShowMessageBox(nullptr, "Tessmark is already running for this user.", "Error",
                           MessageIcon::Error, MessageButtons::OK);
            return 1;
        }
        DebugLog.SetLogFolder(folder);
        TightenDataFolder(folder);
        RemoveStaleExchangeFiles(folder);
    }
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
