// Every field of every record a submit is about to delete, kept in a CSV file in
// the folder "Backups" of the data folder. The deletion goes ahead only once the
// file is complete on disk.
#pragma once

#include <string>
#include <utility>
#include <vector>

constexpr char kBackupFolderName[] = "Backups";

class DeleteBackup {
public:
    // One field of a record: its name and its value as text (empty for null).
    using Field = std::pair<std::string, std::string>;

    // Adds the record of an object ("Contact", ...) with its fields in order.
    void Add(const std::string& object, std::vector<Field> fields);
    size_t Count() const { return m_records.size(); }

    // Writes "Backups/<kindName>-YYYYMMDD-HHMMSS.csv" in dataFolder (the folder
    // made with mode 0700, the file new, mode 0600, UTF-8, RFC 4180): a header
    // "Object" and every field name met, then one line per record. The file
    // is synced to disk before true comes back. False with why, and no file
    // left behind, when any step failed. With no record nothing is written
    // and path stays empty.
    bool Write(const std::string& dataFolder, const std::string& kindName, std::string& path,
               std::string& why) const;

private:
    struct Record {
        std::string object;
        std::vector<Field> fields;
    };
    std::vector<Record> m_records;
};
