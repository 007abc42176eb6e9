#include "NoteIdMap.h"

#include <cstdlib>
#include <fstream>

namespace {

// Tabs and line breaks would split the line: they become blanks.
std::string Field(const char* text) {
    std::string out = text ? text : "";
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

} // namespace

NoteIdMapWriter::~NoteIdMapWriter() {
    if (m_file)
        std::fclose(m_file);
}

bool NoteIdMapWriter::Open() {
    if (m_tmp.Path().empty())
        return false;
    m_file = std::fopen(m_tmp.Path().c_str(), "we");
    return m_file != nullptr;
}

bool NoteIdMapWriter::Add(int64_t number, const char* id, const char* lastModified,
                          const char* title) {
    if (!m_file)
        return false;
    const std::string line = std::to_string(number) + "\t" + Field(id) + "\t" +
                             Field(lastModified) + "\t" + Field(title) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), m_file) != line.size())
        m_bFailed = true;
    return !m_bFailed;
}

bool NoteIdMapWriter::Commit() {
    if (!m_file)
        return false;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    return closed && !m_bFailed && m_tmp.RenameTo(m_final);
}

bool ReadNoteIdMap(const std::string& path, std::map<int64_t, NoteIdEntry>& notes) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find('\t');
        const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        const size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
        if (c == std::string::npos)
            return false;
        char* end = nullptr;
        const long long number = std::strtoll(line.c_str(), &end, 10);
        if (end != line.c_str() + a)
            return false;
        notes[number] = {line.substr(a + 1, b - a - 1), line.substr(b + 1, c - b - 1),
                         line.substr(c + 1)};
    }
    return !in.bad();
}
