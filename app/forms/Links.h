// The addresses the wizard opens through the desktop, kept in one place.
#pragma once

#include "DesktopOpen.h"
#include "WinUtil.h"

#include <string>

// The product's home page.
inline constexpr const char kHomePageUrl[] = "https://www.tessmark.example/";

// The on-line help: a page shipped beside the program.
inline constexpr const char kHelpFileName[] = "tessmark-help.html";

// Salesforce's own help on resetting the security token.
inline constexpr const char kTokenHelpUrl[] =
    "https://help.salesforce.com/s/articleView?id=sf.user_security_token.htm&type=5";

// Where bug reports go, and the subject a new report starts with.
inline constexpr const char kSupportEmail[] = "support@tessmark.example";
inline constexpr const char kBugReportSubject[] = "Tessmark Bug Report";

// The help page's path in the program folder; empty when the folder is unknown.
inline std::string HelpPagePath() {
    char folder[260];
    if (!GetModuleFolder(nullptr, folder, sizeof(folder)))
        return std::string();
    return std::string(folder) + kHelpFileName;
}

// The address of a new bug report e-mail.
inline std::string BugReportMailto() {
    return std::string("mailto:") + kSupportEmail + "?subject=" + kBugReportSubject;
}

// Each tells the user, in a box owned by owner, when the desktop cannot open it.
inline void OpenHomePage(QWidget* owner) {
    OpenInDesktop(owner, kHomePageUrl);
}

inline void OpenHelpPage(QWidget* owner) {
    OpenInDesktop(owner, HelpPagePath());
}

inline void OpenTokenHelpPage(QWidget* owner) {
    OpenInDesktop(owner, kTokenHelpUrl);
}
