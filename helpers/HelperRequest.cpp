#include "HelperRequest.h"

#include <cerrno>
#include <cstdlib>
#include <strings.h>

namespace {

const std::string* Find(const ParamMap& values, int32_t tag) {
    auto it = values.find(tag);
    return it == values.end() ? nullptr : &it->second;
}

std::string Text(const ParamMap& values, int32_t tag) {
    const std::string* v = Find(values, tag);
    return v ? *v : std::string();
}

std::string AsFolder(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

bool Switch(const ParamMap& values, int32_t tag) {
    const std::string* v = Find(values, tag);
    return !v || *v != "0";
}

int32_t RangeDay(const ParamMap& values, int32_t tag) {
    int32_t day = 0;
    const std::string* v = Find(values, tag);
    if (!v || !ParseInt32(*v, &day) || day < 0)
        return 0;
    return day;
}

struct KindName {
    const char* stem;
    HelperKind kind;
};
const KindName kKinds[] = {{"SFAddr", HelperKind::Addr},
                           {"SFDate", HelperKind::Date},
                           {"SFTask", HelperKind::Task},
                           {"SFNote", HelperKind::Note}};

// The kind whose stem is the data file name up to its first '.'.
bool KindFromDataFile(const std::string& name, HelperKind* kind) {
    std::string stem = name.substr(0, name.find('.'));
    for (const KindName& k : kKinds)
        if (strcasecmp(stem.c_str(), k.stem) == 0) {
            *kind = k.kind;
            return true;
        }
    return false;
}

} // namespace

std::string HelperRequest::StateFileName() const {
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            return std::string(k.stem) + ".ini";
    return "SFAddr.ini";
}

const char* HelperRequest::KindWord() const {
    switch (kind) {
    case HelperKind::Date:
        return "events";
    case HelperKind::Task:
        return "tasks";
    case HelperKind::Note:
        return "notes";
    default:
        return "contacts";
    }
}

std::string HelperRequest::KindLabel() const {
    std::string name = KindWord();
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

bool ParseInt32(const std::string& text, int32_t* value) {
    if (text.empty() || text.size() > 11)
        return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return false;
    for (size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9')
            return false;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool BuildRequest(const ParamMap& values, HelperRequest& req, std::string& error) {
    req.userName = Text(values, kTagUserName);
    req.password = Text(values, kTagPassword);
    req.token = Text(values, kTagToken);
    req.dataFolder = AsFolder(Text(values, kTagDataFolder));
    req.dataFileName = Text(values, kTagDataFile);
    std::string errorFile = Text(values, kTagErrorFile);
    req.errorFileName = IsPlainFileName(errorFile) ? errorFile : std::string();
    std::string progressFile = Text(values, kTagProgressFile);
    req.progressFileName = IsPlainFileName(progressFile) ? progressFile : std::string();

    // The log location is the data folder as the system knows it; a bare file
    // name ("appdebug.log" when never set) means the data folder.
    std::string logLocation = Text(values, kTagLogLocation);
    req.logFolder =
        !logLocation.empty() && logLocation.back() == '/' ? logLocation : req.dataFolder;
    int32_t level = 3;
    if (ParseInt32(Text(values, kTagLogLevel), &level))
        req.logLevel = level;
    req.debug = Text(values, kTagDebug) == "1";

    req.rangeStart = RangeDay(values, kTagRangeStart);
    req.rangeEnd = RangeDay(values, kTagRangeEnd);
    req.sourceContact = Switch(values, kTagSourceContact);
    req.sourceAccount = Switch(values, kTagSourceAccount);
    req.sourceLead = Switch(values, kTagSourceLead);

    const std::string connection = Text(values, kTagConnection);
    req.connectionTarget = Text(values, kTagConnectionTarget);
    if (connection.empty())
        req.connection = HelperConnection::Unset;
    else if (strcasecmp(connection.c_str(), "local") == 0)
        req.connection = HelperConnection::Local;
    else if (strcasecmp(connection.c_str(), "salesforce") == 0)
        req.connection = HelperConnection::Salesforce;
    else {
        error = "Unknown connection \"" + connection + "\".";
        return false;
    }
    while (req.connection == HelperConnection::Salesforce && !req.connectionTarget.empty() &&
           req.connectionTarget.back() == '/')
        req.connectionTarget.pop_back();
    if (req.connection == HelperConnection::Salesforce && req.connectionTarget.empty()) {
        error = "The parameter file names no login address for salesforce.";
        return false;
    }

    const std::string method = Text(values, kTagSignInMethod);
    if (method.empty() || strcasecmp(method.c_str(), "password") == 0)
        req.signIn = HelperSignIn::Password;
    else if (strcasecmp(method.c_str(), "browser") == 0)
        req.signIn = HelperSignIn::Browser;
    else {
        error = "Unknown sign-in method \"" + method + "\".";
        return false;
    }
    req.consumerKey = Text(values, kTagConsumerKey);
    req.callbackUrl = Text(values, kTagCallbackUrl);
    if (req.signIn == HelperSignIn::Browser &&
        (req.consumerKey.empty() || req.callbackUrl.empty())) {
        error = "The parameter file names no consumer key or callback address for the browser "
                "sign-in.";
        return false;
    }

    if (req.dataFolder.empty()) {
        error = "The parameter file names no data folder.";
        return false;
    }
    if (!IsPlainFileName(req.dataFileName) || !KindFromDataFile(req.dataFileName, &req.kind)) {
        error = "Unknown data file name \"" + req.dataFileName + "\".";
        return false;
    }
    int32_t request = 0;
    std::string requestText = Text(values, kTagRequest);
    if (!ParseInt32(requestText, &request) || request < kRequestLoad || request > kRequestSignOut) {
        error = "Unknown request \"" + requestText + "\".";
        return false;
    }
    req.request = request;
    if (request == kRequestUndelete) {
        req.undoResultsName = Text(values, kTagUndoResults);
        if (!IsPlainFileName(req.undoResultsName)) {
            error = "The parameter file names no results file of a deletion to undo.";
            return false;
        }
    }
    return true;
}

std::string ErrorFilePath(const ParamMap& values) {
    std::string folder = AsFolder(Text(values, kTagDataFolder));
    std::string name = Text(values, kTagErrorFile);
    if (folder.empty() || !IsPlainFileName(name))
        return std::string();
    return folder + name;
}
