// Signing in to the CRM's API: whatever the method, the outcome is a bearer
// token for the REST API and the address of the org's instance.
#pragma once

#include <string>

class SfHttp;

// The API version every request of the helper uses.
constexpr char kSfApiVersion[] = "64.0";

struct SfSession {
    std::string accessToken; // secret: never logged, never in an error text
    std::string instanceUrl; // "https://NAME.my.salesforce.com", no trailing '/'
    std::string userId;
    std::string userName;
};

// Why a request or a sign-in failed: the text for the user and the helper's
// exit status.
struct SfFailure {
    std::string text;
    int exitCode = 0;
};

// One way of getting a token. A later sign-in (after the session expired)
// calls SignIn again.
class SfSignIn {
public:
    virtual ~SfSignIn() = default;
    virtual bool SignIn(SfHttp& http, SfSession& session, SfFailure& failure) = 0;
};
