#include "SfCallbackServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <microhttpd.h>
#include <netinet/in.h>
#include <strings.h>

namespace {

const char kDonePage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Tessmark</title></head>"
    "<body style=\"font-family:sans-serif;margin:3em\"><h2>You are signed in.</h2>"
    "<p>Go back to Tessmark: it goes on by itself. You can close this window.</p>"
    "</body></html>";
const char kNotHerePage[] = "<!DOCTYPE html><html><body>Not found.</body></html>";

std::string Arg(MHD_Connection* connection, const char* name) {
    const char* v = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, name);
    return v ? v : "";
}

MHD_Result Answer(MHD_Connection* connection, unsigned int status, const char* page) {
    MHD_Response* response = MHD_create_response_from_buffer(
        std::strlen(page), const_cast<char*>(page), MHD_RESPMEM_PERSISTENT);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, "Content-Type", "text/html; charset=utf-8");
    MHD_add_response_header(response, "Cache-Control", "no-store");
    const MHD_Result rc = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return rc;
}

MHD_Result OnRequest(void* self, MHD_Connection* connection, const char* url, const char* method,
                     const char*, const char*, size_t*, void**) {
    auto* server = static_cast<SfCallbackServer*>(self);
    if (std::strcmp(method, "GET") != 0 || server->Path() != url)
        return Answer(connection, MHD_HTTP_NOT_FOUND, kNotHerePage);
    server->Arrived({Arg(connection, "code"), Arg(connection, "state"), Arg(connection, "error"),
                     Arg(connection, "error_description")});
    return Answer(connection, MHD_HTTP_OK, kDonePage);
}

} // namespace

bool ParseCallbackUrl(const std::string& url, int& port, std::string& path) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), curl_url_cleanup);
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return false;
    char *scheme = nullptr, *host = nullptr, *portText = nullptr, *pathText = nullptr;
    bool ok = curl_url_get(u.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
              curl_url_get(u.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK &&
              curl_url_get(u.get(), CURLUPART_PORT, &portText, 0) == CURLUE_OK &&
              curl_url_get(u.get(), CURLUPART_PATH, &pathText, 0) == CURLUE_OK;
    if (ok) {
        ok = strcasecmp(scheme, "http") == 0 &&
             (strcasecmp(host, "localhost") == 0 || std::strcmp(host, "127.0.0.1") == 0);
        port = std::atoi(portText);
        path = pathText;
        ok = ok && port > 0 && port < 65536;
    }
    curl_free(scheme);
    curl_free(host);
    curl_free(portText);
    curl_free(pathText);
    return ok;
}

SfCallbackServer::~SfCallbackServer() {
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
}

bool SfCallbackServer::Start(const std::string& callbackUrl, std::string& why) {
    int port = 0;
    if (!ParseCallbackUrl(callbackUrl, port, m_path)) {
        why = "The callback address \"" + callbackUrl +
              "\" is not of the form http://localhost:PORT/PATH.";
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_daemon = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD, static_cast<uint16_t>(port),
                                nullptr, nullptr, &OnRequest, this, MHD_OPTION_SOCK_ADDR, &address,
                                MHD_OPTION_CONNECTION_TIMEOUT, 30u, MHD_OPTION_END);
    if (!m_daemon) {
        why = "Tessmark cannot wait for the browser at " + callbackUrl + ": port " +
              std::to_string(port) + " on this computer is taken or refused.";
        return false;
    }
    return true;
}

void SfCallbackServer::Arrived(const SfCallbackResult& result) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bDone)
            return;
        m_result = result;
        m_bDone = true;
    }
    m_arrived.notify_all();
}

bool SfCallbackServer::Wait(int timeoutMs, const std::function<bool()>& stop,
                            SfCallbackResult& result) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bDone && std::chrono::steady_clock::now() < until) {
        m_arrived.wait_for(lock, std::chrono::milliseconds(100));
        if (!m_bDone && stop && stop())
            return false;
    }
    if (!m_bDone)
        return false;
    result = m_result;
    return true;
}
