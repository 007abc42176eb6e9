#include "SfRest.h"

#include "CxDebugUtil.h"
#include "CxText.h"
#include "HelperExit.h"
#include "SfJsonRow.h"
#include "SfSoap.h"

#include <chrono>
#include <cstdlib>
#include <simdjson.h>
#include <thread>

namespace {

bool FirstError(const std::string& body, std::string& code, std::string& message) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.parse(body).get(root) != simdjson::SUCCESS)
        return false;
    simdjson::dom::element first = root;
    simdjson::dom::array list;
    if (root.get_array().get(list) == simdjson::SUCCESS) {
        if (list.size() == 0)
            return false;
        first = list.at(0).value_unsafe();
    }
    // The OAuth endpoints say "error" and "error_description".
    std::string_view c = JsonText(first, "errorCode");
    if (c.empty())
        c = JsonText(first, "error");
    std::string_view m = JsonText(first, "message");
    if (m.empty())
        m = JsonText(first, "error_description");
    code = std::string(c);
    message = std::string(m);
    return !code.empty() || !message.empty();
}

// A printable excerpt of a body, without control characters.
std::string Excerpt(const std::string& body) {
    std::string out;
    for (char c : body.substr(0, 200))
        out += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    return out;
}

bool Stopped(SfFailure& failure) {
    failure = {"Stopped on request.", kExitStopped};
    return false;
}

bool IsRetryableStatus(long status) {
    return status == 503 || status == 502 || status == 504;
}

} // namespace

std::string SfRestErrorText(const std::string& body) {
    std::string code, message;
    if (!FirstError(body, code, message))
        return body.empty() ? "no details given" : Excerpt(body);
    if (code.empty())
        return message;
    return message.empty() ? code : code + ": " + message;
}

std::string SfRestErrorCode(const std::string& body) {
    std::string code, message;
    FirstError(body, code, message);
    return code;
}

SfRest::SfRest(SfHttp& http, SfSignIn& signIn, SfRetryPolicy policy,
               std::function<bool()> stopRequested)
    : m_http(http), m_signIn(signIn), m_policy(policy), m_stopRequested(std::move(stopRequested)) {}

std::string SfRest::DataPath() {
    return std::string("/services/data/v") + kSfApiVersion;
}

bool SfRest::SignIn(SfFailure& failure) {
    return m_signIn.SignIn(m_http, m_session, failure);
}

bool SfRest::Get(const std::string& path, const std::vector<std::string>& headers,
                 SfHttpResponse& response, SfFailure& failure) {
    return Call("GET", path, headers, response, failure, nullptr);
}

bool SfRest::Delete(const std::string& path, SfHttpResponse& response, SfFailure& failure,
                    bool* resent) {
    return Call("DELETE", path, {}, response, failure, resent);
}

bool SfRest::Soap(const char* action,
                  const std::function<std::string(const std::string&)>& envelope,
                  SfHttpResponse& response, SfFailure& failure, bool* resent) {
    return Call("POST", std::string("/services/Soap/u/") + kSfApiVersion,
                {"Content-Type: text/xml; charset=UTF-8", std::string("SOAPAction: ") + action},
                response, failure, resent, &envelope);
}

bool SfRest::WaitBeforeRetry(int attempt) {
    long long delay = static_cast<long long>(m_policy.firstDelayMs) << (attempt - 1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
    while (std::chrono::steady_clock::now() < until) {
        if (m_stopRequested && m_stopRequested())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !(m_stopRequested && m_stopRequested());
}

void SfRest::NoteLimit(const std::string& limitInfo) {
    if (limitInfo.empty())
        return;
    m_lastLimit = limitInfo;
    // "api-usage=USED/LIMIT"
    const size_t eq = limitInfo.find("api-usage=");
    const size_t slash = limitInfo.find('/', eq);
    if (eq == std::string::npos || slash == std::string::npos)
        return;
    const long long used = std::atoll(limitInfo.c_str() + eq + 10);
    const long long limit = std::atoll(limitInfo.c_str() + slash + 1);
    if (limit > 0 && used * 10 >= limit * 9 && !m_bWarnedLimit) {
        m_bWarnedLimit = true;
        DEBUG_LOG(LOG_CRITICAL, "The org has used %lld of its %lld API requests of the day.", used,
                  limit);
    }
}

bool SfRest::Call(const char* method, const std::string& path,
                  const std::vector<std::string>& headers, SfHttpResponse& response,
                  SfFailure& failure, bool* resent,
                  const std::function<std::string(const std::string&)>* soapEnvelope) {
    if (resent)
        *resent = false;
    if (m_session.accessToken.empty() && !SignIn(failure))
        return false;
    bool signedInAgain = false;
    bool lostAnswer = false;
    for (int attempt = 0;; ++attempt) {
        const bool full = path.rfind("https://", 0) == 0 || path.rfind("http://", 0) == 0;
        if (full && UrlOrigin(path) != UrlOrigin(m_session.instanceUrl)) {
            failure = {"Salesforce pointed the helper at another server (" + UrlOrigin(path) +
                           "); the request was not sent.",
                       kExitServer};
            return false;
        }
        const std::string url = full ? path : m_session.instanceUrl + path;
        std::vector<std::string> all = headers;
        std::string body;
        if (soapEnvelope) {
            body = (*soapEnvelope)(m_session.accessToken);
        } else {
            all.push_back("Authorization: Bearer " + m_session.accessToken);
            all.push_back("Accept: application/json");
        }
        std::string error;
        bool timedOut = false;
        if (resent && lostAnswer)
            *resent = true;
        const bool answered = m_http.Send(method, url, all, body, response, error, &timedOut);
        const bool canRetry = attempt < m_policy.maxRetries;
        if (!answered) {
            DEBUG_LOG(LOG_CRITICAL, "%s %s: no answer: %s", method, path.substr(0, 200).c_str(),
                      error.c_str());
            lostAnswer = true;
            if (canRetry) {
                if (!WaitBeforeRetry(attempt + 1))
                    return Stopped(failure);
                continue;
            }
            failure = {std::string("Salesforce did not answer") + (timedOut ? " in time" : "") +
                           ": " + error,
                       kExitServer};
            return false;
        }
        NoteLimit(response.limitInfo);
        const long status = response.status;
        if (status >= 200 && status < 300)
            return true;
        // REST says 401; SOAP a fault with INVALID_SESSION_ID.
        std::string code, detail;
        if (soapEnvelope) {
            std::string faultText;
            if (SoapFault(response.body, code, faultText))
                detail = faultText.empty() ? code : faultText;
            else
                detail = SfRestErrorText(response.body);
        } else {
            code = SfRestErrorCode(response.body);
            detail = SfRestErrorText(response.body);
        }
        const bool expired = status == 401 || (soapEnvelope && code == "INVALID_SESSION_ID");
        if (expired && !signedInAgain) {
            // The session expired: sign in once more and repeat the request.
            DEBUG_LOG(LOG_NORMAL, "The session expired; signing in again.");
            signedInAgain = true;
            if (!SignIn(failure))
                return false;
            --attempt;
            continue;
        }
        if (IsRetryableStatus(status) && canRetry) {
            DEBUG_LOG(LOG_NORMAL, "HTTP %ld for %s; trying again.", status, method);
            if (!WaitBeforeRetry(attempt + 1))
                return Stopped(failure);
            continue;
        }
        if (expired)
            failure = {"Salesforce ended the session and did not accept a new one: " + detail,
                       kExitLogin};
        else if (code == "REQUEST_LIMIT_EXCEEDED")
            failure = {"Salesforce refused further requests: the org's API request limit is used "
                       "up (" +
                           detail + "). Try again later.",
                       kExitServer};
        else if (IsRetryableStatus(status))
            failure = {"Salesforce is not available (HTTP " + std::to_string(status) +
                           "), also after " + std::to_string(attempt + 1) +
                           " tries. Try again later.",
                       kExitServer};
        else
            failure = {"Salesforce refused the request (HTTP " + std::to_string(status) +
                           "): " + detail,
                       kExitServer};
        return false;
    }
}
