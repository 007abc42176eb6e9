// The loaded CRM data of the wizard: one exchange object per record kind and one
// duplicate list per kind, kept in the process-wide record CrmData.
#pragma once

#include "Apputil.h"
#include "CxList.h"
#include "CxSFAddr.h"
#include "CxSFDate.h"
#include "CxSFNote.h"
#include "CxSFTask.h"

#include <string>

// Owns the four exchange objects (and through them every loaded record) and the
// four duplicate lists. The lists hold SF*Rec pointers into the exchange
// objects and never own them. All eight are null until the first load.
struct TCrmData {
    CxSFAddrUtil* AddrUtil;
    CxSFDateUtil* DateUtil;
    CxSFTaskUtil* TaskUtil;
    CxSFNoteUtil* NoteUtil;
    CxList* AddrDupList;
    CxList* DateDupList;
    CxList* TaskDupList;
    CxList* NoteDupList;
};

extern TCrmData CrmData;

// Frees what an earlier load built, makes the four exchange objects, lets the
// exchange object of every kind chosen in AppSettings.AppFlag run its helper and
// read its records, and makes the four empty duplicate lists. The caller has
// started the wait window: its message and status file follow the kind being
// loaded. True when everything was built and every load succeeded. Without a
// usable data folder no helper runs and the result is false; the objects and
// lists are built all the same. An exception of an exchange object passes
// through; CrmData then holds what was built so far.
bool LoadCrmData();

// Why the last LoadCrmData failed, for the user: the program's own reason
// (such as "The data folder path is too long: <path>") or else the last error
// of the first chosen kind whose exchange object has one; empty when nothing
// said why.
std::string LoadFailureReason();

// The helper program every kind's load runs, a file name in the program
// folder; null or empty restores each kind's own. For the window tests.
void SetLoadHelperName(const char* name);

// Destroys the exchange objects with their records and the duplicate lists
// (their items are not freed) and leaves all eight pointers null. Safe at any
// time, also twice or before any load.
void FreeCrmData();

// Gives an exchange object what every helper run takes from settings: the
// data folder (also the debug log's place), the login, what the helper
// connects to and how it signs in, and the debug log's switch and level. With
// the browser sign-in of a salesforce choice the password and security token
// stay empty: the helper never gets them.
void ConfigureExchange(CxSFBaseUtil& util, const TAppSettings& settings, const char* folder);

// Ends and forgets the browser sign-in that the helper keeps for the user
// name of settings, with the connection and sign-in of settings: the
// contacts' helper runs the sign-out request. The caller has started the wait
// window. True when the helper did it; answer is then the helper's own
// account (its last progress line), otherwise why it failed. Does no widget
// work, so it may run on a worker thread.
bool SignOutOfCrm(const TAppSettings& settings, std::string& answer);

// The helper program SignOutOfCrm runs, a file name in the program folder;
// null or empty restores the contacts' helper. For the window tests.
void SetSignOutHelperName(const char* name);
