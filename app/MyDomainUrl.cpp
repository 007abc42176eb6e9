#include "MyDomainUrl.h"

#include <cctype>
#include <cstddef>

const char kMyDomainExpected[] = "Please enter the address of your org's My Domain, such as "
                                 "https://NAME.my.salesforce.com.";
const char kMyDomainPlainHttp[] =
    "Plain http:// is only allowed for addresses on this computer; use https://.";
const char kMyDomainTooLong[] = "The address of your org's My Domain is too long.";

namespace {

// The settings keep the address in 260 characters, terminator included.
constexpr size_t kMaxUrlBytes = 259;
constexpr size_t kMaxHostBytes = 253;
constexpr size_t kMaxLabelBytes = 63;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Blanks, control characters and anything not ASCII never belong in the address.
bool HasForbiddenByte(const std::string& s) {
    for (unsigned char c : s)
        if (c <= 0x20 || c >= 0x7F || c == '?' || c == '#')
            return true;
    return false;
}

// Dot-separated labels of letters, digits and '-', none starting or ending
// with '-'.
bool IsHostName(const std::string& host) {
    if (host.empty() || host.size() > kMaxHostBytes)
        return false;
    size_t begin = 0;
    while (true) {
        size_t end = host.find('.', begin);
        if (end == std::string::npos)
            end = host.size();
        const size_t len = end - begin;
        if (len == 0 || len > kMaxLabelBytes || host[begin] == '-' || host[end - 1] == '-')
            return false;
        for (size_t i = begin; i < end; ++i)
            if (!std::isalnum(static_cast<unsigned char>(host[i])) && host[i] != '-')
                return false;
        if (end == host.size())
            return true;
        begin = end + 1;
    }
}

// "[...]" of hex digits, ':' and '.'.
bool IsBracketedAddress(const std::string& host) {
    if (host.size() < 3 || host.front() != '[' || host.back() != ']')
        return false;
    for (size_t i = 1; i + 1 < host.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(host[i])) && host[i] != ':' && host[i] != '.')
            return false;
    return true;
}

bool IsPort(const std::string& port) {
    if (port.empty() || port.size() > 5)
        return false;
    for (char c : port)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    const long value = std::stol(port);
    return value >= 1 && value <= 65535;
}

// Splits "host[:port]" and checks both parts; host comes back in lower case.
bool SplitAuthority(const std::string& authority, std::string& host) {
    size_t hostEnd = 0;
    if (!authority.empty() && authority.front() == '[') {
        hostEnd = authority.find(']');
        if (hostEnd == std::string::npos)
            return false;
        ++hostEnd;
    } else {
        hostEnd = authority.find(':');
        if (hostEnd == std::string::npos)
            hostEnd = authority.size();
    }
    host = Lower(authority.substr(0, hostEnd));
    if (hostEnd < authority.size() &&
        (authority[hostEnd] != ':' || !IsPort(authority.substr(hostEnd + 1))))
        return false;
    return IsBracketedAddress(host) || IsHostName(host);
}

bool IsLoopbackHost(const std::string& host) {
    return host == "127.0.0.1" || host == "localhost" || host == "[::1]";
}

bool Refuse(std::string& why, const char* message) {
    why = message;
    return false;
}

} // namespace

bool CheckMyDomainUrl(const std::string& url, std::string& why) {
    why.clear();
    if (url.size() > kMaxUrlBytes)
        return Refuse(why, kMyDomainTooLong);
    if (url.empty() || HasForbiddenByte(url))
        return Refuse(why, kMyDomainExpected);
    const std::string lower = Lower(url);
    const bool secure = StartsWith(lower, "https://");
    if (!secure && !StartsWith(lower, "http://"))
        return Refuse(why, kMyDomainExpected);
    const std::string rest = url.substr(secure ? 8 : 7);
    std::string host;
    if (!SplitAuthority(rest.substr(0, rest.find('/')), host))
        return Refuse(why, kMyDomainExpected);
    if (!secure && !IsLoopbackHost(host))
        return Refuse(why, kMyDomainPlainHttp);
    return true;
}
