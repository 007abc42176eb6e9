#include "DesktopOpen.h"

#include "CxDebugUtil.h"
#include "MessageBox.h"
#include "WinUtil.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace {

const char kOpenFailed[] = "No program of the desktop could open this:\n\n%1\n\n"
                           "Copy it from here and open it by hand.";

} // namespace

void OpenInDesktop(QWidget* owner, const std::string& target) {
    QPointer<QWidget> guard(owner);
    const QString text = QString::fromUtf8(kOpenFailed).arg(QString::fromStdString(target));
    ShellOpen(target.c_str(), [guard, text, target] {
        // Told on the thread that reaped xdg-open: the box belongs to the UI thread.
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [guard, text, target] {
                    DEBUG_LOG(LOG_HIGH, "The desktop could not open %s.", target.c_str());
                    ShowMessageBox(guard.data(), text, QStringLiteral("Error"),
                                   MessageIcon::Information, MessageButtons::OK);
                },
                Qt::QueuedConnection);
    });
}
