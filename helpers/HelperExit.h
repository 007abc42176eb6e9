// Exit status of the helper program.
#pragma once

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
    kExitServer = 7,   // the CRM's API could not be reached or answered with an error
    kExitBackup = 8,   // the backup of the records to delete could not be written
};
