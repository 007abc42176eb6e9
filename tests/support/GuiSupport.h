// Shared pieces of the window tests: one QApplication on the offscreen
// platform, message boxes and shell opening caught by hooks (no test meets a
// real modal box or starts a desktop program), finding controls by name,
// clicks, modal dialogs driven from the event loop, and screenshots.
#pragma once

#include "Apputil.h"
#include "CxDebugUtil.h"
#include "MessageBox.h"
#include "WinUtil.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#ifndef TESSMARK_SCREENSHOT_DIR
#define TESSMARK_SCREENSHOT_DIR "screenshots"
#endif

namespace testsupport {

// Outside a recorder, a message box or a shell opening is a test failure.
inline void InstallUnexpectedMessageBoxHook() {
    SetMessageBoxHook([](const MessageBoxRequest& request) {
        ADD_FAILURE() << "unexpected message box: " << request.text.toStdString();
        return static_cast<int>(mrCancel);
    });
}

inline void InstallUnexpectedShellOpenHook() {
    SetShellOpenHook(
        [](const std::string& target) { ADD_FAILURE() << "unexpected shell open: " << target; });
}

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char arg0[] = "tessmark-gui-test";
        static char* argv[] = {arg0, nullptr};
        m_pApp = new QApplication(argc, argv);
        // Closing a test's last window must not end anything.
        QApplication::setQuitOnLastWindowClosed(false);
        InstallUnexpectedMessageBoxHook();
        InstallUnexpectedShellOpenHook();
    }
    void TearDown() override {
        SetMessageBoxHook(nullptr);
        SetShellOpenHook(nullptr);
        delete m_pApp;
        m_pApp = nullptr;
    }

private:
    QApplication* m_pApp = nullptr;
};

inline ::testing::Environment* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// Answers every message box with answer and keeps the requests.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = mrOK) : m_nAnswer(answer) {
        SetMessageBoxHook([this](const MessageBoxRequest& request) {
            requests.push_back(request);
            return m_nAnswer;
        });
    }
    ~MessageBoxRecorder() { InstallUnexpectedMessageBoxHook(); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<MessageBoxRequest> requests;

private:
    int m_nAnswer;
};

// Keeps every target handed to ShellOpen instead of opening it.
class ShellOpenRecorder {
public:
    ShellOpenRecorder() {
        SetShellOpenHook([this](const std::string& target) { targets.push_back(target); });
    }
    ~ShellOpenRecorder() { InstallUnexpectedShellOpenHook(); }
    ShellOpenRecorder(const ShellOpenRecorder&) = delete;
    ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;

    std::vector<std::string> targets;
};

// AppSettings as it was, restored at the end of a test.
class AppSettingsGuard {
public:
    AppSettingsGuard() { std::memcpy(&m_saved, &AppSettings, sizeof(m_saved)); }
    ~AppSettingsGuard() { std::memcpy(&AppSettings, &m_saved, sizeof(m_saved)); }
    AppSettingsGuard(const AppSettingsGuard&) = delete;
    AppSettingsGuard& operator=(const AppSettingsGuard&) = delete;

private:
    TAppSettings m_saved;
};

// The debug log's switch and level as they were, restored at the end of a test.
class DebugLogGuard {
public:
    DebugLogGuard() : m_bEnabled(DebugLog.IsEnabled()), m_nLevel(DebugLog.GetLogLevel()) {}
    ~DebugLogGuard() {
        DebugLog.EnableLog(m_bEnabled);
        DebugLog.SetLogLevel(m_nLevel);
    }
    DebugLogGuard(const DebugLogGuard&) = delete;
    DebugLogGuard& operator=(const DebugLogGuard&) = delete;

private:
    bool m_bEnabled;
    int m_nLevel;
};

// The default locale (what the user's desktop would set), put back at the end.
class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(m_saved); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    QLocale m_saved;
};

// The child of root with the object name; a failure when there is none.
template <class T> T* Child(const QObject* root, const char* name) {
    T* child = root ? root->findChild<T*>(QString::fromUtf8(name)) : nullptr;
    if (!child)
        ADD_FAILURE() << "no control named " << name;
    return child;
}

// A left click at a point of the widget, as the mouse gives it.
inline void ClickAt(QWidget* widget, QPoint at) {
    if (!widget)
        return;
    const QPointF local(at);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// A left click in the middle of the widget.
inline void ClickWidget(QWidget* widget) {
    if (widget)
        ClickAt(widget, widget->rect().center());
}

// Where a list view draws the check box of an item.
inline QRect CheckBoxRect(QTreeView& view, const QModelIndex& index) {
    struct Probe : QStyledItemDelegate {
        using QStyledItemDelegate::initStyleOption;
    };
    QStyleOptionViewItem option;
    option.initFrom(view.viewport());
    option.rect = view.visualRect(index);
    option.widget = &view;
    Probe().initStyleOption(&option, index);
    return view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
}

// A click on the check box of a row of a list view.
inline void ClickCheckBox(QTreeView* view, int row) {
    const QRect box = CheckBoxRect(*view, view->model()->index(row, 0));
    ASSERT_TRUE(box.isValid());
    ClickAt(view->viewport(), box.center());
}

// Runs action on the next modal dialog of class T once the event loop shows
// it. Should none appear within the time-out, the test fails and the modal
// window on top is closed so that the test goes on.
template <class T> void OnNextModal(std::function<void(T*)> action, int timeoutMs = 30000) {
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, timeoutMs] {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog) {
            action(dialog);
            return;
        }
        ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " appeared";
        if (QWidget* top = QApplication::activeModalWidget())
            top->close();
    });
    timer->start(10);
}

// Processes events until done() holds or the time-out passes.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Saves a picture of the widget as <name>.png in the build's screenshots folder.
inline bool SaveScreenshot(QWidget* widget, const char* name) {
    if (!widget)
        return false;
    QDir dir(QString::fromUtf8(TESSMARK_SCREENSHOT_DIR));
    if (!dir.mkpath("."))
        return false;
    QCoreApplication::processEvents();
    return widget->grab().save(dir.filePath(QString::fromUtf8(name) + ".png"), "PNG");
}

} // namespace testsupport
