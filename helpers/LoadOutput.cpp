#include "LoadOutput.h"

#include "CxDebugUtil.h"

#include <cerrno>
#include <cstring>

LoadOutput::LoadOutput(const HelperRequest& req)
    : m_path(req.InFolder(req.dataFileName)), m_file(m_path) {
    if (req.kind == HelperKind::Note)
        m_notes = std::make_unique<NoteIdMapWriter>(req.InFolder(kNoteIdMapName));
}

bool LoadOutput::Open(HelperSession& s) {
    if (!m_file.Open()) {
        s.errors.Add("The data file \"" + m_path + "\" cannot be written: " + std::strerror(errno) +
                     ".");
        return false;
    }
    if (m_notes && !m_notes->Open()) {
        s.errors.Add("The note list \"" + s.req.InFolder(kNoteIdMapName) +
                     "\" cannot be written: " + std::strerror(errno) + ".");
        return false;
    }
    return true;
}

int LoadOutput::Commit(HelperSession& s) {
    if ((m_notes && !m_notes->Commit()) || !m_file.Commit())
        return NotWritten(s);
    DEBUG_LOG(LOG_NORMAL, "Wrote %u %s to %s.", m_file.Count(), s.req.KindWord(), m_path.c_str());
    s.progress.Set("Loaded " + std::to_string(m_file.Count()) + " " + s.req.KindWord() + ".");
    return kExitOk;
}

int LoadOutput::Stopped(HelperSession& s) {
    DEBUG_LOG(LOG_NORMAL, "Stopped on request after %u records.", m_file.Count());
    s.errors.Add("Stopped on request.");
    return kExitStopped;
}

int LoadOutput::NotWritten(HelperSession& s) {
    s.errors.Add("The data file \"" + m_path + "\" cannot be written.");
    return kExitDataFile;
}
