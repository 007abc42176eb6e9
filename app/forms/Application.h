// The application object of the wizard and its last-resort handling of
// exceptions: one that escapes an event handler or the entry point ends in the
// crash dialog, which offers the debug log to support.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    // Delivers the event; an exception thrown while handling it is shown
    // (ShowUncaughtException) and the event counts as not handled.
    bool notify(QObject* receiver, QEvent* event) override;
};

// A std::exception: its text in a message box titled "Tessmark", then the
// crash dialog when the wizard window exists. Anything else: the crash dialog
// first, then a message box with an empty text. An exception raised while one
// is being shown is only logged, so that no stack of dialogs builds up.
void ShowUncaughtException(std::exception_ptr error);

// ShowUncaughtException of the exception being handled; never throws.
void ShowCurrentException();

// Runs call; an exception it throws is handed to ShowUncaughtException and the
// result is onException.
bool CallGuarded(const std::function<bool()>& call, bool onException = false);
