// HTTPS requests of the helper, through libcurl: one connection kept for the
// whole run, certificates checked against the system's store, plain http only to
// this computer's loopback addresses, the standard proxy variables honoured.
#pragma once

#include <curl/curl.h>
#include <string>
#include <vector>

struct SfHttpResponse {
    long status = 0;
    std::string body;
    std::string limitInfo; // the Sforce-Limit-Info header, when sent
    std::string contentType;
};

struct SfHttpTimeouts {
    long connectSeconds = 30;
    long requestSeconds = 120;
};

// True for https:// URLs, and for http:// ones whose host is 127.0.0.0/8,
// localhost or [::1]; otherwise false with the reason in why.
bool IsAllowedUrl(const std::string& url, std::string& why);

// The scheme and host (with port) of a URL: "https://host:port".
std::string UrlOrigin(const std::string& url);

// Percent-encodes a text for a URL's query.
std::string UrlEncode(const std::string& text);

class SfHttp {
public:
    explicit SfHttp(SfHttpTimeouts timeouts = SfHttpTimeouts());
    ~SfHttp();
    SfHttp(const SfHttp&) = delete;
    SfHttp& operator=(const SfHttp&) = delete;

    // Sends one request; headers are "Name: value" lines. True when an answer
    // arrived (whatever its status); false when none did, with the reason in
    // error and timedOut set for a time-out. Refuses URLs IsAllowedUrl refuses.
    bool Send(const char* method, const std::string& url, const std::vector<std::string>& headers,
              const std::string& body, SfHttpResponse& response, std::string& error,
              bool* timedOut = nullptr);

private:
    CURL* m_curl = nullptr;
    SfHttpTimeouts m_timeouts;
};
