#include "CxCommWaitWindow.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using testsupport::FileExists;
using testsupport::TempDir;
using testsupport::WriteFileBytes;

namespace {

// Polls until pred holds; generous, so a loaded machine does not fail a test.
bool Eventually(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 10s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Waits until the window has done at least n more steps than now.
bool WaitTicks(const std::shared_ptr<CxCommWaitWindow>& window, uint32_t n) {
    uint32_t target = window->GetTicks() + n;
    return Eventually([&] { return window->GetTicks() >= target; });
}

// What a view was asked to do, shared with the test after the view is gone.
struct ViewLog {
    mutable std::mutex mutex;
    std::vector<std::string> events;
    std::vector<CxWaitSnapshot> repaints;
    void* owner = nullptr;

    void Add(const char* event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(event);
    }
    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    bool Painted(const std::string& message) const {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& s : repaints)
            if (s.sMessage == message)
                return true;
        return false;
    }
    std::vector<CxWaitSnapshot> Repaints() const {
        std::lock_guard<std::mutex> lock(mutex);
        return repaints;
    }
};

class RecordingView : public CxWaitView {
public:
    explicit RecordingView(std::shared_ptr<ViewLog> log) : m_log(std::move(log)) {}
    void Show() override { m_log->Add("Show"); }
    void Repaint(const CxWaitSnapshot& snapshot) override {
        std::lock_guard<std::mutex> lock(m_log->mutex);
        m_log->events.push_back("Repaint");
        m_log->repaints.push_back(snapshot);
    }
    void Close() override { m_log->Add("Close"); }
    void ActivateOwner() override { m_log->Add("ActivateOwner"); }

private:
    std::shared_ptr<ViewLog> m_log;
};

// Hands every new window a recording view and keeps the logs in start order.
struct RecordingFactory {
    std::mutex mutex;
    std::vector<std::shared_ptr<ViewLog>> logs;

    void Install() {
        SetWaitViewFactory([this](void* owner) -> std::unique_ptr<CxWaitView> {
            auto log = std::make_shared<ViewLog>();
            log->owner = owner;
            std::lock_guard<std::mutex> lock(mutex);
            logs.push_back(log);
            return std::make_unique<RecordingView>(log);
        });
    }
    std::shared_ptr<ViewLog> Log(size_t i) {
        std::lock_guard<std::mutex> lock(mutex);
        return i < logs.size() ? logs[i] : nullptr;
    }
};

// Starts from no window and no factory and leaves the same behind.
class WaitWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetWaitViewFactory(nullptr);
        StopWaitWindow();
        ASSERT_TRUE(WaitForWaitWindowEnd(10000));
        ASSERT_EQ(GetCurrentWaitWindow(), nullptr);
    }
    void TearDown() override {
        StopWaitWindow();
        EXPECT_TRUE(WaitForWaitWindowEnd(10000));
        EXPECT_EQ(GetCurrentWaitWindow(), nullptr);
        SetWaitViewFactory(nullptr);
    }

    std::shared_ptr<CxCommWaitWindow> Start() {
        EXPECT_TRUE(StartWaitWindow(nullptr));
        auto window = GetCurrentWaitWindow();
        EXPECT_NE(window, nullptr);
        return window;
    }

    TempDir m_dir;
};

} // namespace

TEST(CxAutoResetEvent, KeepsASignalSetBeforeTheWaitAndConsumesIt) {
    CxAutoResetEvent event;
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(50));
}

// The window object driven step by step, without its thread.

TEST(CxCommWaitWindowSteps, BarGrowsByOneBlockAndEmptiesAfterAFullRow) {
    auto log = std::make_shared<ViewLog>();
    CxCommWaitWindow window(nullptr, std::make_unique<RecordingView>(log));
    for (int i = 0; i < 19; ++i)
        window.OnTick(CxCommWaitWindow::kTickId);

    auto repaints = log->Repaints();
    ASSERT_EQ(repaints.size(), 19u);
    for (size_t i = 0; i < repaints.size(); ++i) {
        const CxWaitSnapshot& s = repaints[i];
        int expected = static_cast<int>((i + 1) % 18);
        EXPECT_EQ(s.nPlaces, 18);
        EXPECT_EQ(s.nBlocks, expected) << "tick " << i + 1;
        ASSERT_EQ(s.Blocks.size(), static_cast<size_t>(expected));
        if (expected > 0) {
            const CxWaitRect& last = s.Blocks.back();
            EXPECT_EQ(last.nLeft, 20 + 25 * (expected - 1));
            EXPECT_EQ(last.nTop, 100);
            EXPECT_EQ(last.nWidth, 20);
            EXPECT_EQ(last.nHeight, 12);
        }
    }
    // The last place still lies inside the standard client area.
    EXPECT_LE(WaitBlockRect(17).nLeft + kWaitBlockWidth, kWaitClientWidth);
}

TEST(CxCommWaitWindowSteps, OtherTickIdsDoNothing) {
    auto log = std::make_shared<ViewLog>();
    CxCommWaitWindow window(nullptr, std::make_unique<RecordingView>(log));
    window.OnTick(0);
    window.OnTick(9999);
    window.OnTick(10001);
    EXPECT_EQ(window.GetTicks(), 0u);
    EXPECT_TRUE(log->Events().empty());
}

TEST(CxCommWaitWindowSteps, ElapsedTextCountsWholeSecondsRoundedDown) {
    struct Case {
        int steps;
        const char* text;
    } cases[] = {{0, "0 seconds"},  {9, "0 seconds"},  {10, "1 seconds"},
                 {25, "2 seconds"}, {29, "2 seconds"}, {30, "3 seconds"}};
    for (const Case& c : cases) {
        CxCommWaitWindow window;
        for (int i = 0; i < c.steps; ++i)
            window.Step();
        CxWaitSnapshot s = window.GetSnapshot();
        EXPECT_EQ(s.nElapsed, static_cast<uint32_t>(c.steps) * 100) << c.steps;
        EXPECT_EQ(s.nTicks, static_cast<uint32_t>(c.steps));
        EXPECT_EQ(s.sElapsed, c.text) << c.steps;
    }
}

TEST(CxCommWaitWindowSteps, StatusFileFirstLineBecomesTheMessage) {
    const std::string e_acute = "\xC3\xA9";
    struct Case {
        const char* name;
        bool exists;
        std::string content;
        std::string message;
    } cases[] = {
        {"missing file", false, "", "Caller"},
        {"empty file", true, "", "Caller"},
        {"line break only", true, "\r\n", "Caller"},
        {"CR LF line", true, "Retrieved 120 of 500\r\nsecond line\n", "Retrieved 120 of 500"},
        {"LF line", true, "Retrieved 7\nsecond\n", "Retrieved 7"},
        {"line still being written", true, "Retrieving", "Retrieving"},
        {"long line", true, std::string(1500, 'x') + "\n", std::string(1023, 'x')},
        {"cut inside a character", true, std::string(1022, 'x') + e_acute + "\n",
         std::string(1022, 'x')},
        {"half a character written", true, "Caf\xC3", "Caf"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir.Path("SFAddrStatus.dat");
        if (c.exists)
            WriteFileBytes(path, c.content);
        CxCommWaitWindow window;
        window.SetMessage("Caller");
        window.SetStatusFile(path.c_str());
        window.Step();
        EXPECT_EQ(window.GetMessage(), c.message) << c.name;
        EXPECT_EQ(window.GetSnapshot().sMessage, c.message) << c.name;
    }
}

// The operations, started as the callers do.

TEST_F(WaitWindowTest, OperationsWithoutAWindowChangeNothing) {
    std::string path = m_dir.Path("SFAddrStatus.dat");
    WriteFileBytes(path, "earlier run\r\n");

    SetWaitMessage("Loading salesforce CRM Contacts...");
    SetWaitStatusFile(path.c_str());
    StopWaitWindow();
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(GetCurrentWaitWindow(), nullptr);

    // The stop asked for above is not kept for the next window.
    auto window = Start();
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitTicks(window, 3));
    EXPECT_EQ(GetCurrentWaitWindow(), window);
    EXPECT_EQ(window->GetMessage(), "");
}

TEST_F(WaitWindowTest, MessageIsCutToItsCapacityAPathIsNot) {
    auto window = Start();
    ASSERT_TRUE(window);

    SetWaitMessage(std::string(2000, 'm').c_str());
    EXPECT_EQ(window->GetMessage(), std::string(1023, 'm'));
    SetWaitMessage((std::string(1022, 'm') + "\xC3\xA9").c_str());
    EXPECT_EQ(window->GetMessage(), std::string(1022, 'm'));
    SetWaitMessage(nullptr);
    EXPECT_EQ(window->GetMessage(), std::string(1022, 'm'));

    // A cut path would name another file: one that does not fit is not followed.
    const std::string fits = m_dir.Folder() + std::string(259 - m_dir.Folder().size(), 'p');
    SetWaitStatusFile(fits.c_str());
    EXPECT_EQ(window->GetStatusFile(), fits);
    SetWaitStatusFile((fits + "q").c_str());
    EXPECT_EQ(window->GetStatusFile(), "");
}

TEST_F(WaitWindowTest, FollowsTheStatusFileOnceTheHelperWritesIt) {
    std::string path = m_dir.Path("SFAddrStatus.dat");
    WriteFileBytes(path, "line of an earlier run\r\n");

    auto window = Start();
    ASSERT_TRUE(window);
    SetWaitMessage("Loading salesforce CRM Contacts...");
    SetWaitStatusFile(path.c_str());
    EXPECT_FALSE(FileExists(path)); // a stale line is never shown
    EXPECT_EQ(window->GetStatusFile(), path);

    ASSERT_TRUE(WaitTicks(window, 3));
    EXPECT_EQ(window->GetMessage(), "Loading salesforce CRM Contacts...");

    WriteFileBytes(path, "");
    ASSERT_TRUE(WaitTicks(window, 3));
    EXPECT_EQ(window->GetMessage(), "Loading salesforce CRM Contacts...");

    WriteFileBytes(path, "Retrieved 120 of 500 contacts\r\n");
    EXPECT_TRUE(
        Eventually([&] { return window->GetMessage() == "Retrieved 120 of 500 contacts"; }));

    // An empty path stops following and deletes nothing.
    SetWaitStatusFile("");
    EXPECT_TRUE(FileExists(path));
    WriteFileBytes(path, "Retrieved 500 of 500 contacts\r\n");
    ASSERT_TRUE(WaitTicks(window, 3));
    EXPECT_EQ(window->GetMessage(), "Retrieved 120 of 500 contacts");
}

TEST_F(WaitWindowTest, ElapsedTimeFollowsTheWaits) {
    auto window = Start();
    ASSERT_TRUE(window);
    std::this_thread::sleep_for(2500ms);
    CxWaitSnapshot s = window->GetSnapshot();
    // Every counted step waited a full 100 ms, so the count never runs ahead.
    EXPECT_LE(s.nElapsed, 2500u);
    EXPECT_GE(s.nElapsed, 1500u);
    EXPECT_EQ(s.nElapsed % 100, 0u);
    EXPECT_EQ(s.sElapsed, std::to_string(s.nElapsed / 1000) + " seconds");
}

TEST_F(WaitWindowTest, StopEndsTheThreadWithinAboutOneStep) {
    auto window = Start();
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitTicks(window, 2));

    auto before = std::chrono::steady_clock::now();
    StopWaitWindow();
    ASSERT_TRUE(WaitForWaitWindowEnd(10000));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_EQ(GetCurrentWaitWindow(), nullptr);
    EXPECT_TRUE(window->WaitUntilEnded(0));
}

TEST_F(WaitWindowTest, StopRightAfterStartIsNeverLost) {
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(StartWaitWindow(nullptr));
        SetWaitMessage("Submitting deletion information to salesforce database...");
        StopWaitWindow();
        ASSERT_TRUE(WaitForWaitWindowEnd(10000)) << "round " << i;
        ASSERT_EQ(GetCurrentWaitWindow(), nullptr) << "round " << i;
    }
}

TEST_F(WaitWindowTest, ViewIsShownPaintedClosedAndActivatesTheOwner) {
    RecordingFactory factory;
    factory.Install();
    int owner = 0;
    ASSERT_TRUE(StartWaitWindow(&owner));
    SetWaitMessage("Loading salesforce CRM Tasks...");
    auto log = factory.Log(0);
    ASSERT_TRUE(log);
    EXPECT_EQ(log->owner, &owner);
    EXPECT_EQ(GetCurrentWaitWindow()->GetOwner(), &owner);
    EXPECT_TRUE(Eventually([&] { return log->Painted("Loading salesforce CRM Tasks..."); }));

    StopWaitWindow();
    ASSERT_TRUE(WaitForWaitWindowEnd(10000));
    auto events = log->Events();
    ASSERT_GE(events.size(), 4u);
    EXPECT_EQ(events.front(), "Show");
    EXPECT_EQ(events[1], "Repaint");
    EXPECT_EQ(events[events.size() - 2], "Close");
    EXPECT_EQ(events.back(), "ActivateOwner");
    for (size_t i = 1; i + 2 < events.size(); ++i)
        EXPECT_EQ(events[i], "Repaint") << i;
}

TEST_F(WaitWindowTest, NoViewMeansNoWindow) {
    SetWaitViewFactory([](void*) { return std::unique_ptr<CxWaitView>(); });
    EXPECT_FALSE(StartWaitWindow(nullptr));
    EXPECT_EQ(GetCurrentWaitWindow(), nullptr);

    std::string path = m_dir.Path("SFTaskStatus.dat");
    WriteFileBytes(path, "x\n");
    SetWaitStatusFile(path.c_str());
    EXPECT_TRUE(FileExists(path));
}

TEST_F(WaitWindowTest, SecondStartStopsTheFirstWindow) {
    RecordingFactory factory;
    factory.Install();
    int first = 1, second = 2;
    ASSERT_TRUE(StartWaitWindow(&first));
    auto firstWindow = GetCurrentWaitWindow();
    ASSERT_TRUE(StartWaitWindow(&second));
    auto secondWindow = GetCurrentWaitWindow();

    ASSERT_TRUE(firstWindow->WaitUntilEnded(10000));
    EXPECT_EQ(factory.Log(0)->Events().back(), "ActivateOwner");
    // The first thread's end leaves the newer window current.
    ASSERT_NE(secondWindow, nullptr);
    EXPECT_NE(secondWindow, firstWindow);
    EXPECT_EQ(GetCurrentWaitWindow(), secondWindow);
    EXPECT_EQ(secondWindow->GetOwner(), &second);
    ASSERT_TRUE(WaitTicks(secondWindow, 2));
    EXPECT_EQ(GetCurrentWaitWindow(), secondWindow);
}
