#include "CxDebugUtil.h"
#include "HelperSession.h"
#include "SfBrowserSignIn.h"
#include "SfHttp.h"
#include "SfPasswordSignIn.h"
#include "SfRest.h"
#include "WinUtil.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

std::string ProgramFolder() {
    char folder[4096];
    return GetModuleFolder(nullptr, folder, sizeof(folder)) ? std::string(folder) : std::string();
}

std::string ConfigureHint(const HelperRequest& req, const std::string& programFolder) {
    return std::string("No local org is configured. Write its database path as \"LocalOrg=\" "
                       "in section [") +
           kHelperIniSection + "] of " + kHelperIniName + " in the data folder (" + req.dataFolder +
           ") or in the program folder (" + programFolder +
           "); tessmark-sample-org --out FILE creates a local org.";
}

// The keyring is asked only where a desktop session bus can answer; elsewhere
// libsecret would try to start one.
bool HaveKeyring() {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return bus && *bus;
}

// The request against the CRM's API: sign in, then load or submit; or forget
// the browser sign-in.
int ExecuteSalesforce(HelperSession& s) {
    const HelperRequest& req = s.req;
    std::string why;
    if (!IsAllowedUrl(req.connectionTarget, why)) {
        s.errors.Add(why);
        return kExitParams;
    }
    SfHttp http({s.settings.connectTimeoutS, s.settings.requestTimeoutS});
    auto stop = [&s] { return s.state.StopRequested(); };
    SfTokenStore store(req.dataFolder, HaveKeyring());
    std::unique_ptr<SfSignIn> signIn;
    SfBrowserSignIn* browser = nullptr;
    if (req.signIn == HelperSignIn::Browser) {
        SfBrowserSettings b{req.connectionTarget,      req.userName,
                            req.consumerKey,           req.callbackUrl,
                            s.settings.browserCommand, s.settings.browserTimeoutS};
        auto made = std::make_unique<SfBrowserSignIn>(
            b, store, [&s](const std::string& line) { s.progress.Set(line); }, stop);
        browser = made.get();
        signIn = std::move(made);
    } else {
        signIn = std::make_unique<SfPasswordSignIn>(req.connectionTarget, req.userName,
                                                    req.password, req.token);
    }
    if (req.request == kRequestSignOut) {
        std::string message = "Only a browser sign-in is kept; there is nothing to sign out.";
        const bool told = !browser || browser->SignOut(http, message);
        s.progress.Set(message);
        if (!told) {
            s.errors.Add(message);
            return kExitServer;
        }
        return kExitOk;
    }
    SfRest rest(http, *signIn, {4, s.settings.retryDelayMs}, stop);
    s.rest = &rest;
    s.progress.Set("Signing in to salesforce as " + req.userName);
    SfFailure failure;
    if (!rest.SignIn(failure)) {
        s.errors.Add(failure.text);
        s.rest = nullptr;
        return failure.exitCode;
    }
    s.userId = rest.Session().userId;
    DEBUG_LOG(LOG_NORMAL, "Signed in to salesforce as %s.", req.userName.c_str());
    int code = req.request == kRequestLoad     ? RunSalesforceLoad(s)
               : req.request == kRequestSubmit ? RunSalesforceSubmit(s)
                                               : RunSalesforceUndelete(s);
    if (!rest.LastLimitInfo().empty())
        DEBUG_LOG(LOG_NORMAL, "API usage of the org: %s.", rest.LastLimitInfo().c_str());
    s.rest = nullptr;
    return code;
}

// Runs the request once the files of the run are set up.
int Execute(HelperSession& s) {
    const HelperRequest& req = s.req;
    const std::string programFolder = ProgramFolder();
    s.settings = FindHelperSettings(req.dataFolder, programFolder);
    s.recordDelayMs = s.settings.recordDelayMs;
    if (req.connection == HelperConnection::Salesforce)
        return ExecuteSalesforce(s);

    if (req.request == kRequestSignOut) {
        s.progress.Set("A local org keeps no sign-in; there is nothing to sign out.");
        return kExitOk;
    }
    std::string orgPath = s.settings.orgPath;
    if (req.connection == HelperConnection::Local && !req.connectionTarget.empty())
        orgPath = req.connectionTarget;
    if (orgPath.empty()) {
        s.errors.Add(ConfigureHint(req, programFolder));
        return kExitOrg;
    }
    DEBUG_LOG(LOG_NORMAL, "Local org %s.", orgPath.c_str());

    s.progress.Set("Connecting to the local org");
    std::string why;
    if (!s.org.Open(orgPath, why)) {
        s.errors.Add(why);
        return kExitOrg;
    }
    s.progress.Set("Logging in as " + req.userName);
    switch (s.org.Login(req.userName, req.password, req.token, &s.userId)) {
    case LoginResult::Accepted:
        break;
    case LoginResult::Refused:
        s.errors.Add("Login failed: the user name, password or security token is wrong.");
        return kExitLogin;
    case LoginResult::Failed:
        s.errors.Add("Database error: " + s.org.LastError());
        return kExitOrg;
    }
    DEBUG_LOG(LOG_NORMAL, "Logged in as %s.", req.userName.c_str());
    return req.request == kRequestLoad     ? RunLoad(s)
           : req.request == kRequestSubmit ? RunSubmit(s)
                                           : RunUndelete(s);
}

int Fail(HelperErrorFile& errors, const std::string& text, int code) {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (errors.HasPath()) {
        errors.Reset();
        errors.Add(text);
        errors.Write();
    }
    return code;
}

} // namespace

std::string WithThousands(uint64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

void HelperSession::ShowProgress(const char* what, uint64_t done, uint64_t total) {
    progress.Set(std::string(what) + ": " + std::to_string(done) + " of " + std::to_string(total));
}

bool HelperSession::Tick(const char* what, uint64_t done, uint64_t total) {
    if (!pacer.Due())
        return true;
    ShowProgress(what, done, total);
    return !state.StopRequested();
}

int RunHelperProgram(int argc, char** argv) {
    // A core dump would hold the password, the token and the session.
    prctl(PR_SET_DUMPABLE, 0);
    // A file size limit makes a write fail with its reason instead of ending the run.
    signal(SIGXFSZ, SIG_IGN);
    if (argc < 2 || !argv[1] || !*argv[1]) {
        std::fprintf(stderr, "usage: %s PARAMETER-FILE\n", argc > 0 ? argv[0] : "helper");
        return kExitUsage;
    }
    const std::string paramPath = argv[1];
    ParamMap values;
    std::string why;
    bool readOk = ReadParamFile(paramPath.c_str(), values, why);
    // The file holds the password and token in plain text: it goes as soon as
    // it is read, whatever happens to this run or to the program waiting for it.
    unlink(paramPath.c_str());
    HelperErrorFile errors(ErrorFilePath(values));
    if (!readOk)
        return Fail(errors, "The parameter file \"" + paramPath + "\" " + why + ".", kExitParams);
    HelperRequest req;
    if (!BuildRequest(values, req, why))
        return Fail(errors, why, kExitParams);

    DebugLog.SetLogFolder(req.logFolder.c_str());
    DebugLog.SetLogLevel(req.logLevel);
    DebugLog.EnableLog(req.debug);
    DEBUG_LOG(LOG_NORMAL, "Helper started for %s, request %d, data folder %s.", req.KindWord(),
              req.request, req.dataFolder.c_str());

    errors.Reset();
    // A data file left from an earlier load must not pass for this one's.
    if (req.request == kRequestLoad)
        unlink(req.InFolder(req.dataFileName).c_str());

    HelperProgressFile progress(req.progressFileName.empty() ? std::string()
                                                             : req.InFolder(req.progressFileName));
    HelperRunState state(req.InFolder(req.StateFileName()));
    state.Begin();
    LocalOrg org;
    HelperSession session(req, org, errors, progress, state);
    int code = Execute(session);
    state.End();

    for (const std::string& e : errors.Errors())
        DEBUG_LOG(LOG_CRITICAL, "%s", e.c_str());
    if (!errors.Write() && errors.HasPath())
        DEBUG_LOG(LOG_CRITICAL, "Cannot write the error file %s.",
                  req.InFolder(req.errorFileName).c_str());
    if (code != kExitOk && errors.Count() > 0)
        std::fprintf(stderr, "%s\n", errors.Errors().back().c_str());
    DEBUG_LOG(LOG_NORMAL, "Helper ended with exit status %d.", code);
    return code;
}
