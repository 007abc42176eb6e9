// What a load writes, whatever the backend: the data file and, for notes, the
// note list, both renamed into place only when the load is complete.
#pragma once

#include "HelperDataFile.h"
#include "HelperSession.h"
#include "NoteIdMap.h"

#include <memory>
#include <string>

class LoadOutput {
public:
    explicit LoadOutput(const HelperRequest& req);

    // Creates the temporary files; false, with an error entry, when it cannot.
    bool Open(HelperSession& s);
    DataFileWriter& File() { return m_file; }
    // The note list of a load of notes; null for the other kinds.
    NoteIdMapWriter* Notes() { return m_notes.get(); }

    // The ends of a load: renamed into place and reported, stopped on request,
    // or not written whole. Each returns the exit status.
    int Commit(HelperSession& s);
    int Stopped(HelperSession& s);
    int NotWritten(HelperSession& s);

private:
    std::string m_path;
    DataFileWriter m_file;
    std::unique_ptr<NoteIdMapWriter> m_notes;
};
