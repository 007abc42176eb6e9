// The end of a browser sign-in: a small HTTP listener on 127.0.0.1 that waits
// for the browser to come back to the callback address with the sign-in's code
// (or its error), answers with a page that sends the user back to Tessmark, and
// ignores every other path.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

struct MHD_Daemon;
struct MHD_Connection;

struct SfCallbackResult {
    std::string code;
    std::string state;
    std::string error;
    std::string errorDescription;
};

class SfCallbackServer {
public:
    SfCallbackServer() = default;
    ~SfCallbackServer();
    SfCallbackServer(const SfCallbackServer&) = delete;
    SfCallbackServer& operator=(const SfCallbackServer&) = delete;

    // Listens on 127.0.0.1 at the port of callbackUrl (http://localhost:PORT/PATH
    // or http://127.0.0.1:PORT/PATH); false with the reason when it cannot.
    bool Start(const std::string& callbackUrl, std::string& why);
    // Waits for the callback until timeoutMs passed or stop() says so (asked
    // every 100 ms); true with the result when the browser came back.
    bool Wait(int timeoutMs, const std::function<bool()>& stop, SfCallbackResult& result);

    // Called by the listener's thread for a request to the callback path; the
    // first one counts.
    void Arrived(const SfCallbackResult& result);
    const std::string& Path() const { return m_path; }

private:
    MHD_Daemon* m_daemon = nullptr;
    std::string m_path;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    bool m_bDone = false;
    SfCallbackResult m_result;
};

// The parts of a callback address the listener needs; false when it is not
// plain http to localhost or 127.0.0.1 with a port.
bool ParseCallbackUrl(const std::string& url, int& port, std::string& path);
