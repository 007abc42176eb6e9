// The CRM API stand-in (tests/standin/sf_standin.py) as a child process on
// 127.0.0.1 for the length of a test: its org written as JSON, its faults set
// through control.json, what it received read back from its state folder.
#pragma once

#include "TestSupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace standin {

// A JSON text literal.
inline std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// One record: field names with JSON values already written ("\"Ann\"", "true", "null").
using Record = std::vector<std::pair<std::string, std::string>>;

inline std::string RecordJson(const Record& r) {
    std::string out = "{";
    for (size_t i = 0; i < r.size(); ++i)
        out += (i ? "," : "") + Quote(r[i].first) + ":" + r[i].second;
    return out + "}";
}

struct User {
    std::string username = "ann@example.com";
    std::string password = "secret-pw";
    std::string token = "TOKEN123";
    std::string loginFault; // a fault code every login of the user gets
};

// A client app for the browser sign-in.
struct App {
    std::string consumerKey = "TESSMARK-KEY";
    // Any port of a listed loopback address is accepted.
    std::string callbackUrl = "http://localhost:1717/OauthRedirect";
    bool rotateRefreshTokens = true;
};

// The org the stand-in serves.
struct Org {
    std::vector<User> users{User()};
    std::vector<App> apps{App()};
    std::map<std::string, std::vector<Record>> objects;
    // Per object, the fields describe lists (none: every field the records have).
    std::map<std::string, std::vector<std::string>> describe;

    std::string Json() const {
        std::string out = "{\"users\":[";
        for (size_t i = 0; i < users.size(); ++i) {
            const User& u = users[i];
            out += std::string(i ? "," : "") + "{\"username\":" + Quote(u.username) +
                   ",\"password\":" + Quote(u.password) + ",\"token\":" + Quote(u.token) +
                   ",\"userId\":\"00500000000000" + std::to_string(i + 1) +
                   "AAA\",\"loginFault\":" + (u.loginFault.empty() ? "null" : Quote(u.loginFault)) +
                   "}";
        }
        out += "],\"apps\":[";
        for (size_t i = 0; i < apps.size(); ++i)
            out += std::string(i ? "," : "") + "{\"consumerKey\":" + Quote(apps[i].consumerKey) +
                   ",\"callbackUrls\":[" + Quote(apps[i].callbackUrl) +
                   "],\"rotateRefreshTokens\":" + (apps[i].rotateRefreshTokens ? "true" : "false") +
                   "}";
        out += "],\"describe\":{";
        bool first = true;
        for (const auto& [object, fields] : describe) {
            out += std::string(first ? "" : ",") + Quote(object) + ":[";
            for (size_t i = 0; i < fields.size(); ++i)
                out += (i ? "," : "") + Quote(fields[i]);
            out += "]";
            first = false;
        }
        out += "},\"objects\":{";
        first = true;
        for (const auto& [object, records] : objects) {
            out += std::string(first ? "" : ",") + Quote(object) + ":[";
            for (size_t i = 0; i < records.size(); ++i)
                out += (i ? "," : "") + RecordJson(records[i]);
            out += "]";
            first = false;
        }
        return out + "}}";
    }
};

inline std::string StandinScript() {
    return TESSMARK_STANDIN_SCRIPT;
}

// The script that plays the user's browser: it opens the sign-in address and
// follows the stand-in's redirect back to the helper's callback.
inline std::string FakeBrowserScript() {
    std::string script = StandinScript();
    return script.substr(0, script.rfind('/') + 1) + "fake_browser.py";
}

// A free TCP port on 127.0.0.1 at the moment of asking.
inline int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        close(fd);
    return port;
}

class Server {
public:
    // Starts the stand-in; pageSize caps its query pages; tlsCert/tlsKey make it
    // serve HTTPS with that certificate.
    Server(const Org& org, int pageSize = 0, const std::string& tlsCert = "",
           const std::string& tlsKey = "")
        : m_state(m_dir.Path("state") + "/") {
        std::filesystem::create_directories(m_state);
        const std::string orgPath = m_dir.Path("org.json");
        testsupport::WriteFileBytes(orgPath, org.Json());
        std::vector<std::string> args{
            TESSMARK_PYTHON, StandinScript(), "--org", orgPath,         "--state-dir",
            m_state,         "--port",        "0",     "--max-seconds", "300"};
        if (pageSize > 0) {
            args.push_back("--page-size");
            args.push_back(std::to_string(pageSize));
        }
        if (!tlsCert.empty()) {
            args.insert(args.end(), {"--tls-cert", tlsCert, "--tls-key", tlsKey});
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        int rc = posix_spawn(&m_pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            m_pid = -1;
            close(fds[0]);
            return;
        }
        // "PORT n" within ten seconds.
        std::string line;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buf[256];
            ssize_t n = read(fds[0], buf, sizeof(buf));
            if (n <= 0)
                break;
            line.append(buf, static_cast<size_t>(n));
        }
        m_outFd = fds[0];
        if (line.rfind("PORT ", 0) == 0)
            m_port = std::atoi(line.c_str() + 5);
    }

    ~Server() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        if (m_outFd >= 0)
            close(m_outFd);
    }

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool Started() const { return m_port > 0; }
    std::string Url(bool tls = false) const {
        return std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port);
    }

    // Replaces control.json (faults and record changes) at once.
    void Control(const std::string& json) {
        const std::string tmp = m_state + "control.json.tmp";
        testsupport::WriteFileBytes(tmp, json);
        std::filesystem::rename(tmp, m_state + "control.json");
    }

    // A file of the state folder ("oauth.json", ...), whole.
    std::string StateFile(const std::string& name) const {
        return testsupport::ReadFileBytes(m_state + name);
    }

    // The ids deleted so far, and those deleted with their account.
    std::set<std::string> Deleted(bool withCascade = false) const {
        return IdLog("deleted.txt", withCascade);
    }

    // The ids undeleted so far (those that came back with their account too
    // when withCascade is set).
    std::set<std::string> Undeleted(bool withCascade = false) const {
        return IdLog("undeleted.txt", withCascade);
    }

    // Every request as the JSON line the stand-in logged.
    std::vector<std::string> Requests() const {
        std::vector<std::string> lines;
        std::ifstream in(m_state + "requests.jsonl");
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
        return lines;
    }

    // The requests whose logged line holds every one of the texts.
    size_t CountRequests(std::initializer_list<const char*> texts) const {
        size_t n = 0;
        for (const std::string& line : Requests()) {
            bool all = true;
            for (const char* t : texts)
                all = all && line.find(t) != std::string::npos;
            n += all ? 1 : 0;
        }
        return n;
    }

private:
    // The ids of a log of the state folder, a line each ("ID" or "ID cascade").
    std::set<std::string> IdLog(const char* name, bool withCascade) const {
        std::set<std::string> ids;
        std::ifstream in(m_state + name);
        std::string line;
        while (std::getline(in, line)) {
            const bool cascade = line.find(" cascade") != std::string::npos;
            if (!cascade || withCascade)
                ids.insert(line.substr(0, line.find(' ')));
        }
        return ids;
    }

    testsupport::TempDir m_dir;
    std::string m_state;
    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_port = 0;
};

// A self-signed certificate and key for 127.0.0.1, made with the openssl tool.
inline bool MakeSelfSignedCertificate(const std::string& cert, const std::string& key) {
    const std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "
                            "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                            key + "' -out '" + cert + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace standin
