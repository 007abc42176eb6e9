// Notes carry no Id in the data file, only HelperData (their number in the
// load). A load through the CRM's API keeps, beside the data file, the list that
// turns those numbers back into note ids at submit: "SFNoteIds.txt" in the data
// folder, mode 0600, one line per note: number, Id, LastModifiedDate and
// title, separated by tabs.
#pragma once

#include "HelperDataFile.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

constexpr char kNoteIdMapName[] = "SFNoteIds.txt";

class NoteIdMapWriter {
public:
    explicit NoteIdMapWriter(std::string finalPath)
        : m_final(std::move(finalPath)), m_tmp(m_final) {}
    ~NoteIdMapWriter();
    NoteIdMapWriter(const NoteIdMapWriter&) = delete;
    NoteIdMapWriter& operator=(const NoteIdMapWriter&) = delete;

    bool Open();
    bool Add(int64_t number, const char* id, const char* lastModified, const char* title);
    // Renames the list into place; false when a write failed.
    bool Commit();

private:
    std::string m_final;
    TempFile m_tmp;
    FILE* m_file = nullptr;
    bool m_bFailed = false;
};

struct NoteIdEntry {
    std::string id;
    std::string lastModified; // as the API wrote it
    std::string title;
};

// Reads the list; false when it cannot be opened or a line is damaged.
bool ReadNoteIdMap(const std::string& path, std::map<int64_t, NoteIdEntry>& notes);
