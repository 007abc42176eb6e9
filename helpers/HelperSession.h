// One run of the helper program: the request, the open org and the files the
// run reports through.
#pragma once

#include "HelperExit.h"
#include "HelperFiles.h"
#include "HelperRequest.h"
#include "LocalOrg.h"

#include <cstdint>
#include <string>

class NoteIdMapWriter;
class SfRest;

struct HelperSession {
    HelperSession(const HelperRequest& request, LocalOrg& localOrg, HelperErrorFile& errorFile,
                  HelperProgressFile& progressFile, HelperRunState& runState)
        : req(request), org(localOrg), errors(errorFile), progress(progressFile), state(runState) {}

    // After every record: now and then writes "<what>: <done> of <total>" as
    // the progress line and looks for a stop request. False once a stop was
    // asked for.
    bool Tick(const char* what, uint64_t done, uint64_t total);
    void ShowProgress(const char* what, uint64_t done, uint64_t total);

    const HelperRequest& req;
    LocalOrg& org;
    HelperErrorFile& errors;
    HelperProgressFile& progress;
    HelperRunState& state;
    HelperPacer pacer{std::chrono::milliseconds(150)};
    int recordDelayMs = 0;
    std::string userId;
    HelperSettings settings;
    SfRest* rest = nullptr;             // the CRM's API, when the run goes there
    NoteIdMapWriter* noteIds = nullptr; // a load of notes: where their ids are listed
};

// The local org's load, submit and undelete.
int RunLoad(HelperSession& session);
int RunSubmit(HelperSession& session);
int RunUndelete(HelperSession& session);
// The same through the CRM's API (session.rest signed in).
int RunSalesforceLoad(HelperSession& session);
int RunSalesforceSubmit(HelperSession& session);
int RunSalesforceUndelete(HelperSession& session);

// "48,311"
std::string WithThousands(uint64_t n);

// The whole program: argv[1] is the parameter file.
int RunHelperProgram(int argc, char** argv);
