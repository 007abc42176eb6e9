#include "WorkRunner.h"

#include "CxCommWaitWindow.h"
#include "CxDebugUtil.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <atomic>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

namespace {

constexpr uint32_t kWaitWindowEndMs = 5000;

// Swallows user input and close requests for every object of the UI thread.
class TInputBlocker : public QObject {
protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
        }
    }
};

int g_nRunning = 0; // UI thread only

// Input stays blocked while any RunWork on the UI thread waits.
class TInputBlock {
public:
    TInputBlock() {
        if (g_nRunning++ == 0) {
            Blocker().reset(new TInputBlocker);
            QCoreApplication::instance()->installEventFilter(Blocker().get());
        }
    }
    ~TInputBlock() {
        if (--g_nRunning == 0)
            Blocker().reset();
    }
    TInputBlock(const TInputBlock&) = delete;
    TInputBlock& operator=(const TInputBlock&) = delete;

private:
    static std::unique_ptr<TInputBlocker>& Blocker() {
        static std::unique_ptr<TInputBlocker> blocker;
        return blocker;
    }
};

struct TWorkState {
    std::atomic<bool> bDone{false};
    std::exception_ptr error;
};

} // namespace

void RunOnWorkerThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }

    TInputBlock block;
    auto state = std::make_shared<TWorkState>();
    std::thread worker;
    try {
        worker = std::thread([state, &work, app] {
            try {
                work();
            } catch (...) {
                state->error = std::current_exception();
            }
            state->bDone.store(true);
            // Wakes the UI thread should it be waiting for events.
            QMetaObject::invokeMethod(
                app, [] {}, Qt::QueuedConnection);
        });
    } catch (const std::system_error& e) {
        DEBUG_LOG(LOG_CRITICAL, "No worker thread for the work (%s); it runs on the UI thread.",
                  e.what());
        work();
        return;
    }

    // Joins on every way out: the work refers to the caller's frame.
    struct TJoin {
        std::thread& thread;
        ~TJoin() {
            if (thread.joinable())
                thread.join();
        }
    } join{worker};

    while (!state->bDone.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    worker.join();
    if (state->error)
        std::rethrow_exception(state->error);
}

bool IsWorkRunning() {
    return g_nRunning > 0;
}

void RefuseQueuedInput() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    TInputBlock block;
    QCoreApplication::processEvents();
}

void CloseWaitWindow() {
    StopWaitWindow();
    if (!WaitForWaitWindowEnd(kWaitWindowEndMs))
        DEBUG_LOG(LOG_CRITICAL, "The wait window did not end in time.");
    // The window's last calls (close, activate the owner) are queued to this thread.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
