// The request of one run, taken from the values of the parameter file.
#pragma once

#include "ParamFileReader.h"

#include <cstdint>
#include <string>

enum ParamTag : int32_t {
    kTagUserName = 1001,
    kTagPassword = 1002,
    kTagToken = 1003,
    kTagDataFile = 1004,
    kTagDataFolder = 1005,
    kTagRequest = 1006,
    kTagErrorFile = 1007,
    kTagProgressFile = 1008,
    kTagLogLocation = 1009,
    kTagReserved = 1010,
    kTagLogLevel = 1011,
    kTagDebug = 1012,
    kTagConnection = 1013,
    kTagConnectionTarget = 1014,
    kTagSignInMethod = 1015,
    kTagConsumerKey = 1016,
    kTagCallbackUrl = 1017,
    kTagUndoResults = 1018,
    kTagSourceContact = 1101,
    kTagSourceAccount = 1102,
    kTagSourceLead = 1103,
    kTagRangeStart = 1201,
    kTagRangeEnd = 1202,
};

enum class HelperKind { Addr, Date, Task, Note };

// Undelete restores the records a submit deleted (its results file names
// them); sign-out forgets (and revokes) the browser sign-in kept for the user.
enum HelperRequestCode {
    kRequestLoad = 1,
    kRequestSubmit = 2,
    kRequestUndelete = 3,
    kRequestSignOut = 4,
};

// How a run signs in to the CRM's API.
enum class HelperSignIn { Password, Browser };

// Where the records live: the local org of the helper's settings file (no
// connection named), a local org named by path, or the CRM's API at a login URL.
enum class HelperConnection { Unset, Local, Salesforce };

struct HelperRequest {
    HelperKind kind = HelperKind::Addr;
    int request = 0;
    std::string userName;
    std::string password;
    std::string token;
    std::string dataFolder; // ends in '/'
    std::string dataFileName;
    std::string errorFileName;    // empty: no error file
    std::string progressFileName; // empty: no progress file
    std::string logFolder;        // ends in '/'
    int logLevel = 3;
    bool debug = false;
    // Calendar range as whole automation days; 0 means no limit on that side.
    int32_t rangeStart = 0;
    int32_t rangeEnd = 0;
    // Contact sources: the Contact, Account and Lead objects.
    bool sourceContact = true;
    bool sourceAccount = true;
    bool sourceLead = true;
    HelperConnection connection = HelperConnection::Unset;
    // The login URL (no trailing '/') or the local org's path (empty: the
    // settings file's).
    std::string connectionTarget;
    HelperSignIn signIn = HelperSignIn::Password;
    std::string consumerKey; // of the org's client app, for the browser sign-in
    std::string callbackUrl; // "http://localhost:PORT/OauthRedirect"
    // Undelete: the results file of the submit to undo, in the data folder.
    std::string undoResultsName;

    // The data folder joined with a file name.
    std::string InFolder(const std::string& name) const { return dataFolder + name; }
    // "SFAddr.ini" and its siblings: the state file of the kind.
    std::string StateFileName() const;
    // "contacts", "events", "tasks" or "notes".
    const char* KindWord() const;
    // "Contacts", "Events", "Tasks" or "Notes".
    std::string KindLabel() const;
};

// A file name without a folder part: not empty, no '/' or '\', not "." or "..".
bool IsPlainFileName(const std::string& name);

// A whole decimal number in the int32 range, nothing else around it.
bool ParseInt32(const std::string& text, int32_t* value);

// Fills req from the values; false with the reason in error when the data
// folder, the data file name or the request is missing or unusable. Fields
// that could be taken are set even then.
bool BuildRequest(const ParamMap& values, HelperRequest& req, std::string& error);

// The full path of the error file when the values name a usable data folder
// and error file name; empty otherwise.
std::string ErrorFilePath(const ParamMap& values);
