// Sign-in through the user's web browser: the OAuth 2.0 web server flow with
// PKCE against the org's client app, with the browser sent back to a listener
// on this computer. The refresh token is kept (SfTokenStore), so later runs
// sign in silently; a token that no longer works brings the browser back.
#pragma once

#include "SfSignIn.h"
#include "SfTokenStore.h"

#include <functional>
#include <string>

struct SfBrowserSettings {
    std::string loginUrl;       // no trailing '/'
    std::string userName;       // the account whose sign-in is kept
    std::string consumerKey;    // of the org's client app
    std::string callbackUrl;    // "http://localhost:PORT/OauthRedirect"
    std::string browserCommand; // empty: xdg-open
    int timeoutSeconds = 300;
};

class SfBrowserSignIn : public SfSignIn {
public:
    // progress shows a line to the user; stop tells that the user asked to stop.
    SfBrowserSignIn(SfBrowserSettings settings, SfTokenStore& store,
                    std::function<void(const std::string&)> progress, std::function<bool()> stop);
    ~SfBrowserSignIn() override;

    bool SignIn(SfHttp& http, SfSession& session, SfFailure& failure) override;
    // Revokes the kept token in the org and forgets it; false with the reason
    // when the org could not be told (the token is forgotten all the same).
    bool SignOut(SfHttp& http, std::string& message);

private:
    struct Tokens {
        std::string access;
        std::string refresh;
        std::string instanceUrl;
        std::string identityUrl;
    };
    bool Refresh(SfHttp& http, const std::string& refreshToken, Tokens& tokens, SfFailure& failure,
                 bool& refused);
    bool BrowserFlow(SfHttp& http, Tokens& tokens, SfFailure& failure);
    bool PostToken(SfHttp& http, const std::string& form, Tokens& tokens, SfFailure& failure,
                   bool& refused);
    bool CheckUser(SfHttp& http, const Tokens& tokens, SfFailure& failure);
    bool FillSession(const Tokens& tokens, SfSession& session, SfFailure& failure);
    bool OpenBrowser(const std::string& url);

    SfBrowserSettings m_settings;
    SfTokenStore& m_store;
    std::function<void(const std::string&)> m_progress;
    std::function<bool()> m_stop;
    int m_browserPid = -1;
};

// base64url without padding, as PKCE wants it.
std::string Base64Url(const unsigned char* bytes, size_t count);
// A random PKCE verifier (43 characters) and its S256 challenge.
bool MakePkcePair(std::string& verifier, std::string& challenge);
