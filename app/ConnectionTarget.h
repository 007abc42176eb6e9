// What the helper programs connect to and how they sign in: the names of the
// choices in the settings file, the local org a helper settings file names,
// and the kind, target and sign-in method the exchange objects hand to the
// helpers.
#pragma once

#include "Apputil.h"

#include <cstdint>
#include <string>

// The login addresses of the two fixed choices.
extern const char kSalesforceLoginUrl[];
extern const char kSandboxLoginUrl[];

// The browser sign-in's callback address while the settings name none; the
// helper listens on 127.0.0.1 at its port.
extern const char kDefaultCallbackUrl[];

// The helper's settings file, looked up in the data folder, then in the
// program folder.
extern const char kHelperSettingsFile[];

// The settings file's text of a choice: "Salesforce", "Sandbox", "MyDomain" or
// "LocalOrg"; "Salesforce" for a value that is no choice.
const char* ConnectionName(int32_t choice);

// The choice text names, compared without regard to case and surrounding
// blanks; false, leaving choice alone, for any other text.
bool ParseConnectionName(const char* text, int32_t& choice);

// True when the helper settings file in folder (ending with '/') has a
// non-empty LocalOrg in section Helper; path is then that database's path,
// made absolute against folder unless it starts with '/'.
bool HelperLocalOrgIn(const std::string& folder, std::string& path);

// HelperLocalOrgIn for the data folder, failing that for the program folder.
bool FindHelperLocalOrg(std::string& path);

// The kind ("salesforce" or "local") and target of the choice in settings: a
// login address without a trailing '/' or the local org's path (possibly
// empty: the helper then uses its own settings file). False, with both
// emptied, for My Domain without an address and for a value that is no choice
// (ccNone among them): the helper then goes by its own settings file.
bool ConnectionTarget(const TAppSettings& settings, std::string& kind, std::string& target);

// The settings file's text of a sign-in method: "Password" or "Browser";
// "Password" for a value that is no method.
const char* SignInMethodName(int32_t method);

// The method text names, compared without regard to case and surrounding
// blanks; false, leaving method alone, for any other text.
bool ParseSignInMethodName(const char* text, int32_t& method);

// The helper's text of a sign-in method (parameter tag 1015): "browser" for
// siBrowser, "password" for any other value.
const char* SignInMethodParam(int32_t method);

// True for the choices whose helper signs in to salesforce: Salesforce, the
// sandbox and My Domain.
bool IsSalesforceChoice(int32_t choice);

// True when settings choose the browser sign-in for a salesforce choice: the
// helper then needs no password or security token, and gets none.
bool UsesBrowserSignIn(const TAppSettings& settings);
