#include "HelperDataFile.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

TempFile::TempFile(const std::string& finalPath) {
    std::string pattern = finalPath + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC); // mode 0600: the records are private
    if (fd >= 0) {
        close(fd);
        m_path = name.data();
    }
}

TempFile::~TempFile() {
    if (!m_path.empty())
        unlink(m_path.c_str());
}

bool TempFile::RenameTo(const std::string& finalPath) {
    if (m_path.empty() || std::rename(m_path.c_str(), finalPath.c_str()) != 0)
        return false;
    m_path.clear();
    return true;
}

bool DataFileWriter::Open() {
    return !m_tmp.Path().empty() && m_file.Open(m_tmp.Path().c_str(), "wbe") &&
           WriteRecordCount(m_file, 0);
}

bool DataFileWriter::Commit() {
    m_file.Close();
    bool ok = !m_file.HasFailed();
    // The count goes in last, over the placeholder at the start.
    if (ok)
        ok = m_file.Open(m_tmp.Path().c_str(), "r+be") && WriteRecordCount(m_file, m_nCount);
    m_file.Close();
    return ok && !m_file.HasFailed() && m_tmp.RenameTo(m_final);
}
