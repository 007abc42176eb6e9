#include "SfHttp.h"

#include <cstdlib>
#include <memory>
#include <strings.h>

namespace {

// A body larger than this is refused: a page of the API is a few megabytes.
constexpr size_t kMaxBody = 256u << 20;

struct Transfer {
    SfHttpResponse* response;
    bool tooLarge = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (t->response->body.size() + n > kMaxBody) {
        t->tooLarge = true;
        return 0;
    }
    t->response->body.append(data, n);
    return n;
}

std::string Trimmed(const char* p, size_t n) {
    while (n > 0 && (*p == ' ' || *p == '\t')) {
        ++p;
        --n;
    }
    while (n > 0 && (p[n - 1] == '\r' || p[n - 1] == '\n' || p[n - 1] == ' '))
        --n;
    return std::string(p, n);
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t n = size * count;
    static const char kLimit[] = "Sforce-Limit-Info:";
    static const char kType[] = "Content-Type:";
    if (n > sizeof(kLimit) - 1 && strncasecmp(data, kLimit, sizeof(kLimit) - 1) == 0)
        t->response->limitInfo = Trimmed(data + sizeof(kLimit) - 1, n - (sizeof(kLimit) - 1));
    else if (n > sizeof(kType) - 1 && strncasecmp(data, kType, sizeof(kType) - 1) == 0)
        t->response->contentType = Trimmed(data + sizeof(kType) - 1, n - (sizeof(kType) - 1));
    return n;
}

struct UrlParts {
    std::string scheme;
    std::string host;
    std::string port;
};

bool SplitUrl(const std::string& url, UrlParts& parts) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), curl_url_cleanup);
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return false;
    auto get = [&](CURLUPart what, std::string& out) {
        char* text = nullptr;
        if (curl_url_get(u.get(), what, &text, 0) != CURLUE_OK)
            return false;
        out = text;
        curl_free(text);
        return true;
    };
    if (!get(CURLUPART_SCHEME, parts.scheme) || !get(CURLUPART_HOST, parts.host))
        return false;
    get(CURLUPART_PORT, parts.port);
    return true;
}

bool IsLoopbackHost(const std::string& host) {
    if (strcasecmp(host.c_str(), "localhost") == 0 || host == "[::1]")
        return true;
    // 127.0.0.0/8 written as four decimal numbers.
    if (host.rfind("127.", 0) != 0)
        return false;
    int parts = 0;
    size_t i = 0;
    while (i <= host.size()) {
        size_t dot = host.find('.', i);
        if (dot == std::string::npos)
            dot = host.size();
        const std::string part = host.substr(i, dot - i);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string::npos ||
            std::atoi(part.c_str()) > 255)
            return false;
        ++parts;
        i = dot + 1;
    }
    return parts == 4;
}

void GlobalInit() {
    static bool done = false;
    if (!done) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        done = true;
    }
}

// Loopback addresses never go through a proxy; the user's own exceptions stay.
std::string NoProxyList() {
    std::string list = "127.0.0.1,localhost,::1";
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            list = std::string(v) + "," + list;
            break;
        }
    }
    return list;
}

} // namespace

bool IsAllowedUrl(const std::string& url, std::string& why) {
    UrlParts parts;
    if (!SplitUrl(url, parts) || parts.host.empty()) {
        why = "\"" + url + "\" is not a valid address.";
        return false;
    }
    if (strcasecmp(parts.scheme.c_str(), "https") == 0)
        return true;
    if (strcasecmp(parts.scheme.c_str(), "http") == 0 && IsLoopbackHost(parts.host))
        return true;
    why = "The address \"" + url + "\" is refused: only https:// addresses are allowed (plain " +
          "http:// only on this computer).";
    return false;
}

std::string UrlOrigin(const std::string& url) {
    UrlParts parts;
    if (!SplitUrl(url, parts))
        return std::string();
    std::string origin = parts.scheme + "://" + parts.host;
    if (!parts.port.empty())
        origin += ":" + parts.port;
    return origin;
}

std::string UrlEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

SfHttp::SfHttp(SfHttpTimeouts timeouts) : m_timeouts(timeouts) {
    GlobalInit();
    m_curl = curl_easy_init();
}

SfHttp::~SfHttp() {
    if (m_curl)
        curl_easy_cleanup(m_curl);
}

bool SfHttp::Send(const char* method, const std::string& url,
                  const std::vector<std::string>& headers, const std::string& body,
                  SfHttpResponse& response, std::string& error, bool* timedOut) {
    if (timedOut)
        *timedOut = false;
    response = SfHttpResponse();
    if (!m_curl) {
        error = "The network library could not be started.";
        return false;
    }
    if (!IsAllowedUrl(url, error))
        return false;

    CURL* c = m_curl;
    curl_easy_reset(c);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, m_timeouts.connectSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, m_timeouts.requestSeconds);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    const std::string noProxy = NoProxyList();
    curl_easy_setopt(c, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Tessmark-helper/1.0");

    curl_slist* list = nullptr;
    for (const std::string& h : headers)
        list = curl_slist_append(list, h.c_str());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(list,
                                                                           curl_slist_free_all);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);

    const std::string verb = method ? method : "GET";
    if (verb == "POST") {
        curl_easy_setopt(c, CURLOPT_POST, 1L);
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else if (verb != "GET") {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, verb.c_str());
    }

    Transfer transfer{&response};
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer);

    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, detail);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    if (rc != CURLE_OK) {
        if (transfer.tooLarge) {
            error = "The server's answer was too large.";
        } else {
            error = detail[0] ? detail : curl_easy_strerror(rc);
            if (timedOut && rc == CURLE_OPERATION_TIMEDOUT)
                *timedOut = true;
        }
        return false;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.status);
    return true;
}
