#include "Application.h"

#include "CxDebugUtil.h"
#include "Dump.h"
#include "Main.h"
#include "MessageBox.h"

#include <QThread>
#include <cstdio>

namespace {

const char kTitle[] = "Tessmark";

bool g_bShowing = false; // UI thread only

// Windows can only be shown from the UI thread; elsewhere the log has to do.
bool CanShowWindows() {
    QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void ShowText(const char* text) {
    if (!QCoreApplication::instance()) {
        std::fprintf(stderr, "Tessmark: unhandled exception: %s\n", text);
        return;
    }
    ShowMessageBox(fmMain, text, kTitle, MessageIcon::Error, MessageButtons::OK);
}

void OfferDebugLog() {
    if (fmMain)
        ShowDumpDialog(fmMain);
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

void ShowUncaughtException(std::exception_ptr error) {
    if (!error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        DEBUG_LOG(LOG_CRITICAL, "Unhandled exception: %s", e.what());
        if (g_bShowing || !CanShowWindows())
            return;
        g_bShowing = true;
        ShowText(e.what());
        OfferDebugLog();
    } catch (...) {
        DEBUG_LOG(LOG_CRITICAL, "Unhandled exception of an unknown kind.");
        if (g_bShowing || !CanShowWindows())
            return;
        g_bShowing = true;
        OfferDebugLog();
        ShowText("");
    }
    g_bShowing = false;
}

void ShowCurrentException() {
    // Showing must not throw out of an event delivery either.
    try {
        ShowUncaughtException(std::current_exception());
    } catch (...) {
        g_bShowing = false;
        DEBUG_LOG(LOG_CRITICAL, "Showing an unhandled exception failed.");
    }
}

bool CallGuarded(const std::function<bool()>& call, bool onException) {
    try {
        return call();
    } catch (...) {
        ShowCurrentException();
        return onException;
    }
}
