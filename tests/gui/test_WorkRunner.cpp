// Blocking work on a worker thread: one synchronous call to the UI thread that
// keeps handling events, with user input and closing shut out meanwhile.
#include "GuiSupport.h"
#include "TestSupport.h"
#include "WorkRunner.h"

#include <QPushButton>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace testsupport;

namespace {

// Waits (at most 20 s) until flag is set; the work of the tests below.
void WaitFor(const std::atomic<bool>& flag) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!flag && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(WorkRunner, ReturnsTheResultOfTheWorkerThread) {
    IsolatedHome home;
    const auto ui = std::this_thread::get_id();
    std::thread::id worker = RunWork([] { return std::this_thread::get_id(); });
    EXPECT_NE(ui, worker);
    EXPECT_EQ("done", RunWork([] { return std::string("done"); }));
    EXPECT_FALSE(IsWorkRunning());
}

TEST(WorkRunner, RethrowsTheWorksExceptionOnTheCaller) {
    IsolatedHome home;
    try {
        RunWork([]() -> int { throw std::runtime_error("helper failed"); });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("helper failed", e.what());
    }
    EXPECT_FALSE(IsWorkRunning());
}

TEST(WorkRunner, OffTheUiThreadTheWorkRunsInPlace) {
    IsolatedHome home;
    std::thread::id caller, worker;
    std::thread other([&] {
        caller = std::this_thread::get_id();
        worker = RunWork([] { return std::this_thread::get_id(); });
    });
    other.join();
    EXPECT_EQ(caller, worker);
}

TEST(WorkRunner, EventsGoOnWhileInputAndClosingAreRefused) {
    IsolatedHome home;
    QWidget window;
    auto* button = new QPushButton("Press", &window);
    window.resize(200, 80);
    window.show();
    int presses = 0;
    QObject::connect(button, &QPushButton::clicked, [&presses] { ++presses; });

    std::atomic<bool> probed{false};
    int ticks = 0;
    bool running = false, closeRefused = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (probed || ++ticks < 3)
            return;
        running = IsWorkRunning();
        ClickWidget(button);
        closeRefused = !window.close();
        probed = true;
    });
    timer.start(10);
    RunWork([&probed] { WaitFor(probed); });
    timer.stop();

    EXPECT_GE(ticks, 3);
    EXPECT_TRUE(running);
    EXPECT_EQ(0, presses);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(window.isVisible());

    // Afterwards everything takes input again.
    EXPECT_FALSE(IsWorkRunning());
    ClickWidget(button);
    EXPECT_EQ(1, presses);
    EXPECT_TRUE(window.close());
}

// Clicks that waited while the UI thread was busy are dropped, not carried
// out; afterwards the button takes clicks again.
TEST(WorkRunner, InputQueuedWhileBusyIsRefused) {
    IsolatedHome home;
    QWidget window;
    auto* button = new QPushButton("Press", &window);
    window.resize(200, 80);
    window.show();
    QCoreApplication::processEvents();
    int presses = 0;
    QObject::connect(button, &QPushButton::clicked, [&presses] { ++presses; });

    const QPointF at = QPointF(button->rect().center());
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at,
                                                        button->mapToGlobal(at), Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at,
                                                        button->mapToGlobal(at), Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
    RefuseQueuedInput();
    EXPECT_EQ(0, presses);
    EXPECT_FALSE(IsWorkRunning());

    QCoreApplication::processEvents();
    EXPECT_EQ(0, presses); // nothing left over either
    ClickWidget(button);
    EXPECT_EQ(1, presses);
}

} // namespace
