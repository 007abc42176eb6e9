// One run of the helper program: the request, the open org and the files the
// run reports through.
#pragma once

#include "HelperFiles.h"
#include "HelperRequest.h"
#include "LocalOrg.h"

#include <cstdint>
#include <string>

// Exit status of the program: 0 when it carried out the request (records it
// could not delete are error-file entries, not a failed run).
enum HelperExit {
    kExitOk = 0,
    kExitUsage = 1,    // no parameter file named on the command line
    kExitParams = 2,   // parameter file unreadable, or no usable request in it
    kExitOrg = 3,      // no local org configured, or the database failed
    kExitLogin = 4,    // user name, password or security token refused
    kExitDataFile = 5, // data file not written (load) or not read whole (submit)
    kExitStopped = 6,  // stopped on request
};

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
};

int RunLoad(HelperSession& session);
int RunSubmit(HelperSession& session);

// The whole program: argv[1] is the parameter file.
int RunHelperProgram(int argc, char** argv);
