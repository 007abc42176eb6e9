// Creates a local org filled with realistic, reproducible sample data and a
// known share of duplicates, for trying the program and for the tests.
//
// A duplicate is a copy of an earlier record of the same object with a new Id,
// always a different LastModifiedDate, and often a case variant of its names
// or e-mail and some fields left empty (an empty field matches anything under
// the default duplicate rules). Record i of an object is made from the seed
// and i alone, so the same options always give the same org.
#pragma once

#include <cstdint>
#include <string>

struct SampleOrgOptions {
    std::string outPath;
    uint64_t contacts = 200;
    uint64_t accounts = 50;
    uint64_t leads = 50;
    uint64_t events = 100;
    uint64_t tasks = 100;
    uint64_t notes = 50;
    double dupRate = 0.1; // share of records made as duplicates, 0 to 1
    uint64_t seed = 1;
    std::string user = "demo@example.com";
    std::string password = "demo";
    std::string token = "DEMOTOKEN";
    bool force = false; // replace an existing file
};

struct SampleObjectSummary {
    uint64_t rows = 0;
    uint64_t duplicates = 0;
};

struct SampleOrgSummary {
    SampleObjectSummary contacts, accounts, leads, events, tasks, notes;
};

// Writes the org under a temporary name and renames it to outPath when it is
// complete. False with the reason in error.
bool CreateSampleOrg(const SampleOrgOptions& options, SampleOrgSummary* summary,
                     std::string& error);
