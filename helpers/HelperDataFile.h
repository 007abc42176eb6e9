// Writing a file of a load so that a reader never sees it half-written: it
// grows under a temporary name (mode 0600) in the same folder and is renamed
// into place only when complete.
#pragma once

#include "CxFile.h"
#include "SFRecords.h"

#include <cstdint>
#include <string>

// A temporary file beside finalPath, removed unless it was renamed into place.
class TempFile {
public:
    explicit TempFile(const std::string& finalPath);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Empty when the file could not be created.
    const std::string& Path() const { return m_path; }
    bool RenameTo(const std::string& finalPath);

private:
    std::string m_path;
};

// A data file: the record count (written last) and the records.
class DataFileWriter {
public:
    explicit DataFileWriter(std::string finalPath)
        : m_final(std::move(finalPath)), m_tmp(m_final) {}

    // Creates the temporary file with a placeholder count; false when it cannot.
    bool Open();
    template <class Rec> bool Write(const Rec& rec) {
        if (!WriteSFRecord(m_file, rec))
            return false;
        ++m_nCount;
        return true;
    }
    // Puts the count in and renames the file into place; false when any step failed.
    bool Commit();
    uint32_t Count() const { return m_nCount; }

private:
    std::string m_final;
    TempFile m_tmp;
    CxFile m_file;
    uint32_t m_nCount = 0;
};
