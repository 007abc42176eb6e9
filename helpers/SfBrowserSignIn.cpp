#include "SfBrowserSignIn.h"

#include "CxDebugUtil.h"
#include "HelperExit.h"
#include "SfCallbackServer.h"
#include "SfHttp.h"
#include "SfJsonRow.h"
#include "SfRest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <signal.h>
#include <simdjson.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

std::string RandomText(size_t bytes) {
    std::vector<unsigned char> buf(bytes);
    if (RAND_bytes(buf.data(), static_cast<int>(buf.size())) != 1)
        return std::string();
    return Base64Url(buf.data(), buf.size());
}

std::string Form(std::initializer_list<std::pair<const char*, std::string>> fields) {
    std::string form;
    for (const auto& [name, value] : fields)
        form += (form.empty() ? "" : "&") + std::string(name) + "=" + UrlEncode(value);
    return form;
}

} // namespace

std::string Base64Url(const unsigned char* bytes, size_t count) {
    std::vector<unsigned char> out(4 * ((count + 2) / 3) + 1);
    const int n = EVP_EncodeBlock(out.data(), bytes, static_cast<int>(count));
    std::string text(reinterpret_cast<const char*>(out.data()), n > 0 ? static_cast<size_t>(n) : 0);
    while (!text.empty() && text.back() == '=')
        text.pop_back();
    for (char& c : text)
        c = c == '+' ? '-' : (c == '/' ? '_' : c);
    return text;
}

bool MakePkcePair(std::string& verifier, std::string& challenge) {
    verifier = RandomText(32);
    if (verifier.empty())
        return false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        return false;
    challenge = Base64Url(digest, length);
    return true;
}

SfBrowserSignIn::SfBrowserSignIn(SfBrowserSettings settings, SfTokenStore& store,
                                 std::function<void(const std::string&)> progress,
                                 std::function<bool()> stop)
    : m_settings(std::move(settings)), m_store(store), m_progress(std::move(progress)),
      m_stop(std::move(stop)) {}

SfBrowserSignIn::~SfBrowserSignIn() {
    // The browser opener ends quickly (it hands the address to the browser).
    if (m_browserPid > 0)
        waitpid(m_browserPid, nullptr, WNOHANG);
}

bool SfBrowserSignIn::SignIn(SfHttp& http, SfSession& session, SfFailure& failure) {
    const SfBrowserSettings& s = m_settings;
    std::string stored;
    Tokens tokens;
    if (m_store.Load(s.loginUrl, s.userName, s.consumerKey, stored)) {
        bool refused = false;
        if (Refresh(http, stored, tokens, failure, refused)) {
            if (!tokens.refresh.empty() && tokens.refresh != stored)
                m_store.Save(s.loginUrl, s.userName, s.consumerKey, tokens.refresh);
            return FillSession(tokens, session, failure);
        }
        if (!refused)
            return false;
        // Revoked, expired or rotated away: the user signs in again.
        DEBUG_LOG(LOG_NORMAL, "The kept sign-in no longer works; asking the browser.");
        m_store.Forget(s.loginUrl, s.userName, s.consumerKey);
        tokens = Tokens();
    }
    if (!BrowserFlow(http, tokens, failure))
        return false;
    if (!CheckUser(http, tokens, failure))
        return false;
    if (!tokens.refresh.empty() &&
        !m_store.Save(s.loginUrl, s.userName, s.consumerKey, tokens.refresh))
        DEBUG_LOG(LOG_CRITICAL, "The sign-in could not be kept; the next run asks the browser "
                                "again.");
    return FillSession(tokens, session, failure);
}

bool SfBrowserSignIn::Refresh(SfHttp& http, const std::string& refreshToken, Tokens& tokens,
                              SfFailure& failure, bool& refused) {
    return PostToken(http,
                     Form({{"grant_type", "refresh_token"},
                           {"refresh_token", refreshToken},
                           {"client_id", m_settings.consumerKey}}),
                     tokens, failure, refused);
}

bool SfBrowserSignIn::PostToken(SfHttp& http, const std::string& form, Tokens& tokens,
                                SfFailure& failure, bool& refused) {
    refused = false;
    SfHttpResponse response;
    std::string error;
    const std::string url = m_settings.loginUrl + "/services/oauth2/token";
    if (!http.Send("POST", url,
                   {"Content-Type: application/x-www-form-urlencoded", "Accept: application/json"},
                   form, response, error)) {
        failure = {"Cannot reach salesforce at " + m_settings.loginUrl + ": " + error, kExitServer};
        return false;
    }
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    const bool parsed = parser.parse(response.body).get(root) == simdjson::SUCCESS;
    if (response.status == 200 && parsed) {
        tokens.access = std::string(JsonText(root, "access_token"));
        tokens.refresh = std::string(JsonText(root, "refresh_token"));
        tokens.instanceUrl = std::string(JsonText(root, "instance_url"));
        tokens.identityUrl = std::string(JsonText(root, "id"));
        if (!tokens.access.empty() && !tokens.instanceUrl.empty())
            return true;
    }
    const std::string code = parsed ? std::string(JsonText(root, "error")) : std::string();
    refused = response.status == 400 || response.status == 401;
    failure = {
        "Salesforce refused the browser sign-in (" +
            (parsed ? SfRestErrorText(response.body) : "HTTP " + std::to_string(response.status)) +
            ").",
        refused ? kExitLogin : kExitServer};
    if (code == "invalid_client_id" || code == "invalid_client")
        failure.text = "Salesforce does not know the consumer key of the Connection dialog: check "
                       "it against the org's client app.";
    return false;
}

bool SfBrowserSignIn::BrowserFlow(SfHttp& http, Tokens& tokens, SfFailure& failure) {
    const SfBrowserSettings& s = m_settings;
    std::string verifier, challenge;
    const std::string state = RandomText(24);
    if (!MakePkcePair(verifier, challenge) || state.empty()) {
        failure = {"No random numbers could be had for the browser sign-in.", kExitServer};
        return false;
    }
    SfCallbackServer listener;
    std::string why;
    if (!listener.Start(s.callbackUrl, why)) {
        failure = {why, kExitLogin};
        return false;
    }
    const std::string url = s.loginUrl + "/services/oauth2/authorize?response_type=code" +
                            "&client_id=" + UrlEncode(s.consumerKey) +
                            "&redirect_uri=" + UrlEncode(s.callbackUrl) +
                            "&code_challenge=" + challenge + "&code_challenge_method=S256" +
                            "&state=" + state + "&login_hint=" + UrlEncode(s.userName);
    m_progress("Waiting for you to sign in to salesforce in your web browser...");
    DEBUG_LOG(LOG_NORMAL, "Opening the browser for the sign-in of %s.", s.userName.c_str());
    if (!OpenBrowser(url)) {
        failure = {"The web browser could not be opened for the sign-in.", kExitLogin};
        return false;
    }
    SfCallbackResult result;
    if (!listener.Wait(s.timeoutSeconds * 1000, m_stop, result)) {
        if (m_stop && m_stop())
            failure = {"Stopped on request.", kExitStopped};
        else
            failure = {"The sign-in in the web browser was not finished within " +
                           (s.timeoutSeconds % 60 == 0
                                ? std::to_string(s.timeoutSeconds / 60) + " minutes"
                                : std::to_string(s.timeoutSeconds) + " seconds") +
                           "; nothing was loaded. Try again.",
                       kExitLogin};
        return false;
    }
    if (result.state != state) {
        failure = {"The browser came back with an answer that does not belong to this sign-in; "
                   "it was refused.",
                   kExitLogin};
        return false;
    }
    if (!result.error.empty()) {
        failure = {result.error == "access_denied"
                       ? "You did not allow Tessmark to use your salesforce account (" +
                             result.errorDescription + ")."
                       : "Salesforce ended the browser sign-in: " + result.error + ": " +
                             result.errorDescription,
                   kExitLogin};
        return false;
    }
    if (result.code.empty()) {
        failure = {"The browser came back without a sign-in code.", kExitLogin};
        return false;
    }
    m_progress("Signing in to salesforce as " + s.userName);
    bool refused = false;
    return PostToken(http,
                     Form({{"grant_type", "authorization_code"},
                           {"code", result.code},
                           {"client_id", s.consumerKey},
                           {"redirect_uri", s.callbackUrl},
                           {"code_verifier", verifier}}),
                     tokens, failure, refused);
}

bool SfBrowserSignIn::CheckUser(SfHttp& http, const Tokens& tokens, SfFailure& failure) {
    SfHttpResponse response;
    std::string error;
    if (tokens.identityUrl.empty() ||
        !http.Send("GET", tokens.identityUrl,
                   {"Authorization: Bearer " + tokens.access, "Accept: application/json"},
                   std::string(), response, error) ||
        response.status != 200) {
        failure = {"Salesforce did not say who signed in in the browser" +
                       (error.empty() ? std::string(".") : ": " + error),
                   kExitServer};
        return false;
    }
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    std::string user;
    if (parser.parse(response.body).get(root) == simdjson::SUCCESS)
        user = std::string(JsonText(root, "username"));
    if (strcasecmp(user.c_str(), m_settings.userName.c_str()) != 0) {
        failure = {"You signed in to salesforce as " + user + " in the browser, not as " +
                       m_settings.userName + ".",
                   kExitLogin};
        // The stranger's sign-in is not kept, and not left valid either.
        const std::string form =
            Form({{"token", tokens.refresh.empty() ? tokens.access : tokens.refresh}});
        SfHttpResponse ignored;
        http.Send("POST", m_settings.loginUrl + "/services/oauth2/revoke",
                  {"Content-Type: application/x-www-form-urlencoded"}, form, ignored, error);
        return false;
    }
    return true;
}

bool SfBrowserSignIn::FillSession(const Tokens& tokens, SfSession& session, SfFailure& failure) {
    std::string why;
    if (!IsAllowedUrl(tokens.instanceUrl, why)) {
        failure = {"Salesforce named an unusable server address for this org. " + why, kExitServer};
        return false;
    }
    session.accessToken = tokens.access;
    session.instanceUrl = UrlOrigin(tokens.instanceUrl);
    session.userName = m_settings.userName;
    const size_t slash = tokens.identityUrl.rfind('/');
    session.userId = slash == std::string::npos ? "" : tokens.identityUrl.substr(slash + 1);
    return true;
}

bool SfBrowserSignIn::OpenBrowser(const std::string& url) {
    std::string command =
        m_settings.browserCommand.empty() ? "xdg-open" : m_settings.browserCommand;
    std::string address = url;
    char* argv[] = {command.data(), address.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, command.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    m_browserPid = pid;
    return true;
}

bool SfBrowserSignIn::SignOut(SfHttp& http, std::string& message) {
    const SfBrowserSettings& s = m_settings;
    std::string token;
    if (!m_store.Load(s.loginUrl, s.userName, s.consumerKey, token)) {
        message = "There was no browser sign-in of " + s.userName + " to forget.";
        return true;
    }
    m_store.Forget(s.loginUrl, s.userName, s.consumerKey);
    SfHttpResponse response;
    std::string error;
    if (!http.Send("POST", s.loginUrl + "/services/oauth2/revoke",
                   {"Content-Type: application/x-www-form-urlencoded"}, Form({{"token", token}}),
                   response, error)) {
        message =
            "The sign-in was forgotten here, but salesforce could not be told to end it: " + error;
        return false;
    }
    if (response.status != 200) {
        message = "The sign-in was forgotten here; salesforce answered the sign-out with " +
                  SfRestErrorText(response.body);
        return response.status == 400; // an unknown token: nothing left to end
    }
    message = "Signed out: the browser sign-in of " + s.userName + " was ended and forgotten.";
    return true;
}
