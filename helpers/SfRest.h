// Requests to the CRM's REST API on behalf of one signed-in user: the bearer
// token, one new sign-in when the session expired, bounded retries with
// back-off for an unavailable server or a lost answer, and the user's text for
// every refusal.
#pragma once

#include "SfHttp.h"
#include "SfSignIn.h"

#include <functional>
#include <string>
#include <vector>

struct SfRetryPolicy {
    int maxRetries = 4;      // further tries after the first
    int firstDelayMs = 1000; // doubles with every further try
};

class SfRest {
public:
    // stopRequested is asked while the client waits before a retry.
    SfRest(SfHttp& http, SfSignIn& signIn, SfRetryPolicy policy,
           std::function<bool()> stopRequested);

    bool SignIn(SfFailure& failure);
    const SfSession& Session() const { return m_session; }

    // A path below the instance, "/services/data/v64.0/...", or a full URL of
    // the same server. True with a 2xx answer in response; false with the
    // user's text and exit status in failure. resent, when given, tells that
    // the request went out again after its answer was lost (a deletion may
    // then have happened on the first try).
    bool Get(const std::string& path, const std::vector<std::string>& headers,
             SfHttpResponse& response, SfFailure& failure);
    bool Delete(const std::string& path, SfHttpResponse& response, SfFailure& failure,
                bool* resent = nullptr);

    // A call of the SOAP API (partner, the same version) at the org's server:
    // envelope makes the request for a session id, which goes in its
    // SessionHeader. True with the answer in response (HTTP 200); false with the
    // user's text and exit status in failure. An invalid session signs in again
    // once; 502/503/504 and lost answers are tried again as for REST; resent as
    // for Delete.
    bool Soap(const char* action, const std::function<std::string(const std::string&)>& envelope,
              SfHttpResponse& response, SfFailure& failure, bool* resent = nullptr);

    // Waits before try number attempt (1, 2, ...) as the retry policy says;
    // false when a stop was asked for meanwhile.
    bool WaitBeforeRetry(int attempt);

    // "/services/data/v64.0"
    static std::string DataPath();
    // The highest API usage seen in Sforce-Limit-Info ("used/limit"), or empty.
    const std::string& LastLimitInfo() const { return m_lastLimit; }

private:
    // soapEnvelope set: a SOAP call with that body to path; otherwise REST.
    bool Call(const char* method, const std::string& path, const std::vector<std::string>& headers,
              SfHttpResponse& response, SfFailure& failure, bool* resent,
              const std::function<std::string(const std::string&)>* soapEnvelope = nullptr);
    void NoteLimit(const std::string& limitInfo);

    SfHttp& m_http;
    SfSignIn& m_signIn;
    SfRetryPolicy m_policy;
    std::function<bool()> m_stopRequested;
    SfSession m_session;
    std::string m_lastLimit;
    bool m_bWarnedLimit = false;
};

// The first error of a REST error body ([{"message":..., "errorCode":...}]):
// "ERRORCODE: message", or a short excerpt of a body that is not such a list.
std::string SfRestErrorText(const std::string& body);
// The errorCode of the first error of a REST error body, or empty.
std::string SfRestErrorCode(const std::string& body);
