#include "CxCommWaitWindow.h"

#include "CxDebugUtil.h"
#include "CxText.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// The process-wide wait-window state. It is never destroyed, so a waiting
// thread still running while the process ends never reaches a destroyed object;
// the exit hook below stops and joins that thread.
struct WaitRegistry {
    // Taken by StartWaitWindow, WaitForWaitWindowEnd and the exit hook, never by
    // a waiting thread; taken before currentMutex when both are needed.
    std::mutex slotMutex;
    std::thread thread;
    std::shared_ptr<CxCommWaitWindow> threadWindow;

    std::mutex currentMutex;
    std::shared_ptr<CxCommWaitWindow> current;
    CxWaitViewFactory factory;
};

WaitRegistry& Registry() {
    static WaitRegistry* registry = new WaitRegistry;
    return *registry;
}

std::shared_ptr<CxCommWaitWindow> CurrentWindow() {
    WaitRegistry& reg = Registry();
    std::lock_guard<std::mutex> lock(reg.currentMutex);
    return reg.current;
}

void ClearCurrentIf(const CxCommWaitWindow* pWindow) {
    WaitRegistry& reg = Registry();
    std::lock_guard<std::mutex> lock(reg.currentMutex);
    if (reg.current.get() == pWindow)
        reg.current.reset();
}

// Joins the slot's thread, unless it is the calling thread itself (a view
// callback that starts a new window): that one ends on its own and is detached.
void ReapThread(WaitRegistry& reg) {
    if (reg.thread.joinable()) {
        if (reg.thread.get_id() == std::this_thread::get_id())
            reg.thread.detach();
        else
            reg.thread.join();
    }
    reg.threadWindow.reset();
}

struct WaitExitHook {
    ~WaitExitHook() {
        WaitRegistry& reg = Registry();
        std::lock_guard<std::mutex> slot(reg.slotMutex);
        std::shared_ptr<CxCommWaitWindow> window;
        {
            std::lock_guard<std::mutex> lock(reg.currentMutex);
            window = std::move(reg.current);
        }
        if (window)
            window->Stop();
        ReapThread(reg);
    }
};
WaitExitHook g_waitExitHook;

using FilePtr = std::unique_ptr<FILE, int (*)(FILE*)>;

// The first line of the file, without its line break, into line (capacity
// kMessageSize). A line still being written or longer than the capacity loses
// an incomplete last character. False when the file does not open or the line
// is empty.
bool ReadStatusLine(const char* pszPath, char* line, size_t cap) {
    line[0] = '\0';
    // Plain reading takes no lock: the helper keeps writing the file meanwhile.
    FilePtr fp(std::fopen(pszPath, "rb"), &std::fclose);
    if (!fp || !std::fgets(line, static_cast<int>(cap), fp.get())) {
        line[0] = '\0';
        return false;
    }
    size_t len = std::strlen(line);
    bool complete = len > 0 && line[len - 1] == '\n';
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r'))
        --len;
    if (!complete)
        len = Utf8CompletePrefix(line, len);
    line[len] = '\0';
    return len > 0;
}

} // namespace

void CxAutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSignalled = true;
    }
    m_cv.notify_one();
}

bool CxAutoResetEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bSignalled; }))
        return false;
    m_bSignalled = false;
    return true;
}

int WaitBlockPlaces(int nClientWidth) {
    int places = (nClientWidth - 40) / kWaitBlockStep + 1;
    return places < 1 ? 1 : places;
}

CxWaitRect WaitBlockRect(int nIndex) {
    return CxWaitRect{kWaitBlockLeft + kWaitBlockStep * nIndex, kWaitBlockTop, kWaitBlockWidth,
                      kWaitBlockHeight};
}

CxCommWaitWindow::CxCommWaitWindow(void* pOwner, std::unique_ptr<CxWaitView> pView)
    : m_pOwner(pOwner), m_pView(std::move(pView)), m_szMessage{}, m_szStatusFile{}, m_nTicks(0),
      m_nElapsed(0), m_bEnded(false) {}

CxCommWaitWindow::~CxCommWaitWindow() = default;

void CxCommWaitWindow::OnCreate() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nTicks = 0;
}

void CxCommWaitWindow::OnPaint() {
    if (m_pView)
        m_pView->Repaint(GetSnapshot());
}

int CxCommWaitWindow::OnSize() {
    return 0;
}

void CxCommWaitWindow::OnTick(uint32_t nTickId) {
    if (nTickId != kTickId)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nTicks;
    }
    FollowStatusFile();
    OnPaint();
}

void CxCommWaitWindow::SetMessage(const char* pszText) {
    if (!pszText)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    CopyText(m_szMessage, pszText);
}

void CxCommWaitWindow::SetStatusFile(const char* pszPath) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // A cut path would follow another file: one that does not fit is not followed.
    CopyWholeText(m_szStatusFile, pszPath);
}

void CxCommWaitWindow::Stop() {
    m_StopEvent.Set();
}

void CxCommWaitWindow::FollowStatusFile() {
    char path[kStatusFileSize];
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        CopyText(path, m_szStatusFile);
    }
    if (path[0] == '\0')
        return;
    char line[kMessageSize];
    if (ReadStatusLine(path, line, sizeof(line)))
        SetMessage(line);
}

void CxCommWaitWindow::Step() {
    FollowStatusFile();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nElapsed += kTickMs;
    }
    OnTick(kTickId);
}

void CxCommWaitWindow::Run() {
    OnCreate();
    if (m_pView)
        m_pView->Show();
    OnPaint();
    while (!m_StopEvent.Wait(kTickMs))
        Step();
    if (m_pView) {
        m_pView->Close();
        m_pView->ActivateOwner();
    }
    ClearCurrentIf(this);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bEnded = true;
    }
    m_cvEnded.notify_all();
}

bool CxCommWaitWindow::WaitUntilEnded(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cvEnded.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_bEnded; });
}

std::string CxCommWaitWindow::GetMessage() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_szMessage;
}

std::string CxCommWaitWindow::GetStatusFile() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_szStatusFile;
}

uint32_t CxCommWaitWindow::GetTicks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nTicks;
}

uint32_t CxCommWaitWindow::GetElapsed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nElapsed;
}

CxWaitSnapshot CxCommWaitWindow::GetSnapshot() const {
    CxWaitSnapshot snapshot;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        snapshot.sMessage = m_szMessage;
        snapshot.nTicks = m_nTicks;
        snapshot.nElapsed = m_nElapsed;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%d seconds",
                  static_cast<int>(snapshot.nElapsed / 1000));
    snapshot.sElapsed = seconds;
    snapshot.nPlaces = WaitBlockPlaces(kWaitClientWidth);
    snapshot.nBlocks = static_cast<int>(snapshot.nTicks % static_cast<uint32_t>(snapshot.nPlaces));
    snapshot.Blocks.reserve(static_cast<size_t>(snapshot.nBlocks));
    for (int i = 0; i < snapshot.nBlocks; ++i)
        snapshot.Blocks.push_back(WaitBlockRect(i));
    return snapshot;
}

void SetWaitViewFactory(CxWaitViewFactory factory) {
    WaitRegistry& reg = Registry();
    std::lock_guard<std::mutex> lock(reg.currentMutex);
    reg.factory = std::move(factory);
}

bool StartWaitWindow(void* pOwner) {
    WaitRegistry& reg = Registry();
    std::lock_guard<std::mutex> slot(reg.slotMutex);

    // A window still current would have no way left to stop once replaced.
    std::shared_ptr<CxCommWaitWindow> previous;
    CxWaitViewFactory factory;
    {
        std::lock_guard<std::mutex> lock(reg.currentMutex);
        previous = std::move(reg.current);
        reg.current.reset();
        factory = reg.factory;
    }
    if (previous)
        previous->Stop();
    ReapThread(reg);

    std::unique_ptr<CxWaitView> view;
    if (factory) {
        view = factory(pOwner);
        if (!view) {
            DEBUG_LOG(LOG_CRITICAL, "StartWaitWindow: the wait window could not be created");
            return false;
        }
    }
    auto window = std::make_shared<CxCommWaitWindow>(pOwner, std::move(view));
    {
        std::lock_guard<std::mutex> lock(reg.currentMutex);
        reg.current = window;
    }
    try {
        reg.thread = std::thread([window] { window->Run(); });
    } catch (const std::system_error& e) {
        ClearCurrentIf(window.get());
        DEBUG_LOG(LOG_CRITICAL, "StartWaitWindow: the waiting thread could not be started: %s",
                  e.what());
        return false;
    }
    reg.threadWindow = std::move(window);
    return true;
}

void SetWaitMessage(const char* pszText) {
    if (auto window = CurrentWindow())
        window->SetMessage(pszText);
}

void SetWaitStatusFile(const char* pszPath) {
    auto window = CurrentWindow();
    if (!window)
        return;
    if (pszPath && pszPath[0] != '\0')
        std::remove(pszPath);
    window->SetStatusFile(pszPath);
}

void SetWaitStatusFileIn(const char* pszFolder, const char* pszFileName) {
    const char* folder = pszFolder ? pszFolder : "";
    const char* file = pszFileName ? pszFileName : "";
    char path[CxCommWaitWindow::kStatusFileSize];
    const int len = std::snprintf(path, sizeof(path), "%s%s", folder, file);
    if (len < 0 || static_cast<size_t>(len) >= sizeof(path)) {
        DEBUG_LOG(LOG_HIGH, "The status file path is too long to follow: %s%s", folder, file);
        SetWaitStatusFile(nullptr);
        return;
    }
    SetWaitStatusFile(path);
}

void StopWaitWindow() {
    if (auto window = CurrentWindow())
        window->Stop();
}

std::shared_ptr<CxCommWaitWindow> GetCurrentWaitWindow() {
    return CurrentWindow();
}

bool WaitForWaitWindowEnd(uint32_t timeoutMs) {
    WaitRegistry& reg = Registry();
    std::shared_ptr<CxCommWaitWindow> window;
    {
        std::lock_guard<std::mutex> slot(reg.slotMutex);
        if (!reg.thread.joinable())
            return true;
        window = reg.threadWindow;
    }
    if (!window->WaitUntilEnded(timeoutMs))
        return false;
    std::lock_guard<std::mutex> slot(reg.slotMutex);
    if (reg.threadWindow == window)
        ReapThread(reg);
    return true;
}
