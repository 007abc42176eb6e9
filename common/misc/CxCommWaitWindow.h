// The "please wait" window shown while a helper program works: a one-line
// message, the seconds elapsed and a bar of blocks that grows by one block every
// 100 ms. The message can follow a status file that the helper writes.
//
// This file holds the window's state and its timing thread; it draws nothing.
// Drawing belongs to a view (CxWaitView) that the process plugs in through
// SetWaitViewFactory. Without a factory the window runs headless: it keeps
// counting and following the status file, and nothing is shown.
//
// Threads. StartWaitWindow makes the window object and the current-window
// reference before it starts the waiting thread, so every following
// SetWaitMessage, SetWaitStatusFile and StopWaitWindow reaches the new window,
// from any thread. The waiting thread waits on the window's stop event for at
// most 100 ms at a time; each time-out is one step: follow the status file,
// count 100 ms, count a tick and repaint. A stop ends the loop; the thread then
// closes the view, activates the owner and clears the current-window reference
// (only while it still names its own window). The state the two threads share
// is guarded by the window's mutex; the window object lives as long as the
// reference or the thread holds it.
//
// Writing a view (the Qt widget):
// - The factory is called on the thread that calls StartWaitWindow (the UI
//   thread in the wizard), before StartWaitWindow returns, with the owner passed
//   to StartWaitWindow. Returning null makes StartWaitWindow false.
// - Show, Repaint, Close and ActivateOwner are called from the waiting thread,
//   one at a time and in that order of life: Show once, Repaint any number of
//   times, then Close and ActivateOwner once each. The view must hand each call
//   over to the UI thread (a queued call) and return without waiting for the UI
//   thread: StartWaitWindow and WaitForWaitWindowEnd may be waiting on the UI
//   thread for the waiting thread to end.
// - The view is destroyed with the window object, on whichever thread lets go
//   of it last (often the waiting thread); the destructor must not touch
//   widgets directly (deleteLater or the like).
// - Repaint passes everything a paint needs; the view keeps the latest snapshot
//   and draws it with the layout below, double-buffered.
// - Typical modal use on the UI thread: StartWaitWindow(owner); start the
//   worker; show the widget modally until Close arrives; make sure the worker
//   has called StopWaitWindow (call it again, it is harmless); then
//   WaitForWaitWindowEnd.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Layout of the standard window, in pixels: a borderless popup with a thin
// 1-pixel frame, centred on the desktop, no taskbar button.
inline constexpr int kWaitWindowWidth = 480;
inline constexpr int kWaitWindowHeight = 150;
inline constexpr int kWaitClientWidth = 478;
inline constexpr int kWaitClientHeight = 148;
// Texts: font "Verdana", 11-pixel characters; bold (700) for the message and
// the caption, normal (400) for the seconds. Black on a white background.
inline constexpr const char* kWaitFontName = "Verdana";
inline constexpr int kWaitFontPixels = 11;
inline constexpr int kWaitTextLeft = 20;
// The message: one line, vertically centred in the band [0, 50).
inline constexpr int kWaitMessageTop = 0;
inline constexpr int kWaitMessageBottom = 50;
// "Time Elapsed:" at kWaitTextLeft and the seconds at kWaitSecondsLeft, both
// vertically centred in the band [30, 80).
inline constexpr const char* kWaitElapsedCaption = "Time Elapsed:";
inline constexpr int kWaitElapsedTop = 30;
inline constexpr int kWaitElapsedBottom = 80;
inline constexpr int kWaitSecondsLeft = 140;
// Blocks of 20 x 12 with 5-pixel gaps, from x = 20, y = 100, in RGB (0, 128, 192).
inline constexpr int kWaitBlockLeft = 20;
inline constexpr int kWaitBlockTop = 100;
inline constexpr int kWaitBlockWidth = 20;
inline constexpr int kWaitBlockHeight = 12;
inline constexpr int kWaitBlockStep = 25;
inline constexpr int kWaitBlockRed = 0;
inline constexpr int kWaitBlockGreen = 128;
inline constexpr int kWaitBlockBlue = 192;

struct CxWaitRect {
    int nLeft;
    int nTop;
    int nWidth;
    int nHeight;
};

// Number of block places in a client area of the given width (at least 1):
// 18 for the standard window.
int WaitBlockPlaces(int nClientWidth);
// The rectangle of block nIndex (from 0), in client coordinates.
CxWaitRect WaitBlockRect(int nIndex);

// What one paint draws, taken under the window's lock.
struct CxWaitSnapshot {
    std::string sMessage; // UTF-8, one line, no line break
    std::string sElapsed; // "%d seconds", whole seconds rounded down
    uint32_t nTicks = 0;
    uint32_t nElapsed = 0; // milliseconds
    int nPlaces = 1;
    int nBlocks = 0;                // nTicks modulo nPlaces
    std::vector<CxWaitRect> Blocks; // nBlocks rectangles, left to right
};

class CxWaitView {
public:
    virtual ~CxWaitView() = default;
    virtual void Show() = 0;
    virtual void Repaint(const CxWaitSnapshot& snapshot) = 0;
    virtual void Close() = 0;
    // Brings the owner window to the front and makes it the active window.
    virtual void ActivateOwner() = 0;
};

using CxWaitViewFactory = std::function<std::unique_ptr<CxWaitView>(void* pOwner)>;

// An auto-reset event: Set leaves it signalled until one Wait takes the signal.
// A Set before anyone waits is kept.
class CxAutoResetEvent {
public:
    void Set();
    // True when the event was signalled within timeoutMs; the signal is consumed.
    bool Wait(uint32_t timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSignalled = false;
};

class CxCommWaitWindow {
public:
    static constexpr uint32_t kTickId = 10000;
    static constexpr uint32_t kTickMs = 100;
    static constexpr size_t kMessageSize = 1024;   // terminator included
    static constexpr size_t kStatusFileSize = 260; // terminator included

    explicit CxCommWaitWindow(void* pOwner = nullptr, std::unique_ptr<CxWaitView> pView = nullptr);
    virtual ~CxCommWaitWindow();
    CxCommWaitWindow(const CxCommWaitWindow&) = delete;
    CxCommWaitWindow& operator=(const CxCommWaitWindow&) = delete;

    // When the thread has made the window: the bar starts empty.
    virtual void OnCreate();
    // Hands a snapshot of the state to the view.
    virtual void OnPaint();
    virtual int OnSize();
    // Only kTickId acts: one more tick, the status file's first line (when the
    // file opens and the line is not empty) becomes the message, repaint.
    virtual void OnTick(uint32_t nTickId);

    // At most 1023 bytes, cut at a UTF-8 boundary; null changes nothing.
    void SetMessage(const char* pszText);
    // At most 259 bytes (a longer path is not followed); null or empty stops
    // following a file. Deletes nothing.
    void SetStatusFile(const char* pszPath);
    void Stop();

    // One timed-out wait: follow the status file, count 100 ms, OnTick(kTickId).
    void Step();
    // The waiting thread's body: show, step every 100 ms until stopped, close,
    // activate the owner, clear the current-window reference when it names
    // this window, and mark the end.
    void Run();
    // True once Run has ended (waits at most timeoutMs for it).
    bool WaitUntilEnded(uint32_t timeoutMs);

    std::string GetMessage() const;
    std::string GetStatusFile() const;
    uint32_t GetTicks() const;
    uint32_t GetElapsed() const;
    CxWaitSnapshot GetSnapshot() const;
    void* GetOwner() const { return m_pOwner; }

private:
    void FollowStatusFile();

    void* const m_pOwner;
    const std::unique_ptr<CxWaitView> m_pView;
    CxAutoResetEvent m_StopEvent;

    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_cvEnded;
    char m_szMessage[kMessageSize];
    char m_szStatusFile[kStatusFileSize];
    uint32_t m_nTicks;
    uint32_t m_nElapsed;
    bool m_bEnded;
};

// Sets the view factory for windows started from now on; an empty one makes
// them headless.
void SetWaitViewFactory(CxWaitViewFactory factory);

// Makes a new current window and starts its thread; false when its view could
// not be made or the thread could not be started (the work then runs without a
// window). A window that is still current is stopped and its thread waited for
// first, so that no window is left without a way to stop it.
bool StartWaitWindow(void* pOwner);
// The four operations below act on the current window only; without one they
// do nothing at all.
void SetWaitMessage(const char* pszText);
// Deletes the file at a non-empty path first, so that a status line of an
// earlier run is never shown, then follows it (at most 259 bytes of the path).
void SetWaitStatusFile(const char* pszPath);
// SetWaitStatusFile of the file pszFileName in the folder pszFolder (which
// ends with '/'); a path too long to be followed whole stops the following of
// a file instead, so that no other file is deleted or shown.
void SetWaitStatusFileIn(const char* pszFolder, const char* pszFileName);
void StopWaitWindow();
std::shared_ptr<CxCommWaitWindow> GetCurrentWaitWindow();

// Waits at most timeoutMs until the thread of the last started window has
// ended, and then reaps it; true when it has ended (or none was started).
bool WaitForWaitWindowEnd(uint32_t timeoutMs);
