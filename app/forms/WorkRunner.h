// Blocking work (a helper program run) kept off the UI thread, so that the wait
// window keeps painting while it runs.
//
// RunWork is one synchronous call to its caller: the work runs on one worker
// thread while the calling UI thread keeps handling events, and RunWork
// returns the work's result or rethrows its exception. Meanwhile no window
// takes mouse or keyboard input and no window can be closed. The work must not
// touch widgets; the wait window's operations are safe from it.
#pragma once

#include "CxCommWaitWindow.h"

#include <QApplication>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Runs work as described above; called off the UI thread (or without an
// application object) it simply runs work in place.
void RunOnWorkerThread(const std::function<void()>& work);

template <class F> auto RunWork(F&& work) -> decltype(work()) {
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        RunOnWorkerThread(std::forward<F>(work));
    } else {
        std::optional<Result> result;
        RunOnWorkerThread([&result, &work] { result.emplace(work()); });
        return std::move(*result);
    }
}

// True while some RunWork waits for its worker.
bool IsWorkRunning();

// Delivers every event waiting for the UI thread with input and closing
// refused as RunWork refuses them: input made while the UI thread was busy
// with widget work after a RunWork (filling a long list, say) is dropped, not
// carried out afterwards. Off the UI thread it does nothing.
void RefuseQueuedInput();

// StopWaitWindow, then waits (at most a few seconds) until the wait window's
// thread has ended and lets its window close before returning.
void CloseWaitWindow();

// RunWork with the wait window (owned by owner, showing message when one is
// given) and the busy pointer up; both go again whether the work returns or
// throws, and input made meanwhile is dropped (RefuseQueuedInput) rather than
// carried out once the wait is over.
template <class F>
auto RunWithWaitWindow(QWidget* owner, const char* message, F&& work) -> decltype(work()) {
    struct Restore {
        ~Restore() {
            CloseWaitWindow();
            QApplication::restoreOverrideCursor();
            RefuseQueuedInput();
        }
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StartWaitWindow(owner);
    if (message)
        SetWaitMessage(message);
    Restore restore;
    return RunWork(std::forward<F>(work));
}
