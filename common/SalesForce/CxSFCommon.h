// The exchange objects' common part: the settings every kind hands to its helper
// program, and the record keeping shared by the four kinds (a collection of
// common records, the data file object and the list of CRM records).
#pragma once

#include "CxFile.h"
#include "CxList.h"
#include "SFRecords.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

class CxSFBaseUtil {
public:
    CxSFBaseUtil();
    virtual ~CxSFBaseUtil();
    CxSFBaseUtil(const CxSFBaseUtil&) = delete;
    CxSFBaseUtil& operator=(const CxSFBaseUtil&) = delete;

    virtual bool Load();
    // Deletes the kind's progress file and error file in the data folder.
    virtual bool Clear();
    virtual bool Submit();

    // A null or empty text empties the member; any other is copied, cut to 255
    // characters at a character boundary.
    void SetUserName(const char* text);
    void SetPassword(const char* text);
    void SetToken(const char* text);
    void SetDataFolder(const char* text);
    void SetLogLocation(const char* text);
    void SetDataFileName(const char* text);
    void SetParamFileName(const char* text);
    void SetErrorFileName(const char* text);
    void SetStatusFileName(const char* text);
    void SetLogLevel(int32_t level) { m_nLogLevel = level; }
    void SetDebugEnabled(bool enabled) { m_bDebugEnabled = enabled; }

    const char* GetUserName() const { return m_szUserName; }
    const char* GetPassword() const { return m_szPassword; }
    const char* GetToken() const { return m_szToken; }
    const char* GetDataFolder() const { return m_szDataFolder; }
    const char* GetDataFileName() const { return m_szDataFileName; }
    const char* GetParamFileName() const { return m_szParamFileName; }
    const char* GetErrorFileName() const { return m_szErrorFileName; }
    const char* GetStatusFileName() const { return m_szStatusFileName; }
    const char* GetLastError() const { return m_szLastError; }
    const char* GetLogLocation() const { return m_szLogLocation; }
    const char* GetReservedText() const { return m_szReserved; }
    int32_t GetLogLevel() const { return m_nLogLevel; }
    bool IsDebugEnabled() const { return m_bDebugEnabled; }
    int32_t GetRequest() const { return m_nRequest; }

    // Records are marked for deletion and not yet submitted.
    bool IsChanged() const { return m_bChanged; }
    // The last helper run left an error (its text in GetLastError).
    bool HasError() const { return m_bHasError; }

    // The data folder joined with a file name, without doubling the separator.
    std::string DataPath(const char* fileName) const;

protected:
    // The given data file name, or the kind's own when it is null or empty.
    const char* DataFileNameOr(const char* fileName) const;

    bool m_bChanged;
    bool m_bHasError;
    char m_szUserName[256];
    char m_szPassword[256];
    char m_szToken[256];
    char m_szDataFolder[256];
    char m_szDataFileName[256];
    char m_szParamFileName[256];
    char m_szErrorFileName[256];
    char m_szStatusFileName[256];
    char m_szLastError[1024];
    char m_szLogLocation[256];
    char m_szReserved[256];
    int32_t m_nLogLevel;
    bool m_bDebugEnabled;
    int32_t m_nRequest;
};

// The record keeping of one kind: TRec is the CRM record, TMgr the collection
// of its common records. The object owns the collection, the file object, the
// list and every CRM record in the list (allocated with new).
template <class TRec, class TMgr> class CxSFKindUtil : public CxSFBaseUtil {
public:
    using Record = TRec;
    using Collection = TMgr;
    using CommonRecord = typename TMgr::Record;

    CxSFKindUtil() : m_pCollection(new TMgr), m_pFile(new CxFile), m_pRecordList(new CxList) {}
    ~CxSFKindUtil() override { FreeRecords(); }

    // Frees every CRM record, empties the list and the collection.
    bool Clear() override {
        FreeRecords();
        return true;
    }

    TMgr* GetCollection() const { return m_pCollection.get(); }
    // The list of CRM records (TRec pointers), in file order.
    CxList* GetRecordList() const { return m_pRecordList.get(); }
    CxFile* GetFile() const { return m_pFile.get(); }

    // Appends a complete copy of rec, in-memory members included, to the list
    // and returns it; null for a null rec or when memory ran out.
    TRec* KeepRecord(const TRec* rec) {
        if (!rec || !m_pRecordList)
            return nullptr;
        TRec* copy = nullptr;
        try {
            copy = new TRec(*rec);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        return AdoptRecord(copy);
    }

    // Removes a record of the list, with its entry in the collection, and frees
    // it. A record the list does not hold is left alone (false): it is not ours
    // to free.
    bool DropRecord(TRec* rec) {
        if (!rec || !m_pRecordList || !m_pRecordList->Remove(rec, false))
            return false;
        if (CommonRecord* entry = rec->Entry) {
            entry->NativeData = nullptr;
            if (m_pCollection)
                m_pCollection->DeleteRecord(entry);
        }
        delete rec;
        return true;
    }

    // One record from / to the open data file; false when the record or the
    // open file is missing, or the file ended inside the record.
    bool ReadRecord(TRec* rec) { return rec && m_pFile && ReadSFRecord(*m_pFile, *rec); }
    bool WriteRecord(const TRec* rec) { return rec && m_pFile && WriteSFRecord(*m_pFile, *rec); }

protected:
    // Appends a record allocated with new to the list; the list owns it then.
    TRec* AdoptRecord(TRec* rec) {
        if (!rec)
            return nullptr;
        if (!m_pRecordList || !m_pRecordList->Add(rec)) {
            delete rec;
            return nullptr;
        }
        return rec;
    }

    void FreeRecords() {
        if (m_pRecordList) {
            for (void* item = m_pRecordList->GetFirst(); item; item = m_pRecordList->GetNext())
                delete static_cast<TRec*>(item);
            m_pRecordList->RemoveAll(false);
        }
        if (m_pCollection)
            m_pCollection->DeleteAll();
    }

    // Reads count records from the open data file, each into a record of its
    // own; stops at the first record the file ends inside. True when all were
    // read. Nothing is reserved up front: a count the file cannot back costs
    // no more than the records actually present.
    bool ReadFileRecords(uint32_t count, std::vector<std::unique_ptr<TRec>>& records) {
        if (!m_pFile)
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            std::unique_ptr<TRec> rec(new TRec);
            if (!ReadSFRecord(*m_pFile, *rec))
                return false;
            records.push_back(std::move(rec));
        }
        return true;
    }

    // Writes the record count and every record of the list to the open file.
    bool WriteFileRecords() {
        if (!m_pFile || !m_pRecordList)
            return false;
        bool ok = WriteRecordCount(*m_pFile, m_pRecordList->GetCount());
        for (void* item = m_pRecordList->GetFirst(); ok && item; item = m_pRecordList->GetNext())
            ok = WriteSFRecord(*m_pFile, *static_cast<const TRec*>(item));
        return ok;
    }

    // Keeps a record that was read, linked both ways with its stored entry
    // (null when the collection could not take it).
    TRec* KeepLinked(std::unique_ptr<TRec> rec, CommonRecord* entry) {
        rec->Entry = entry;
        TRec* kept = AdoptRecord(rec.release());
        if (entry)
            entry->NativeData = kept;
        return kept;
    }

    // Frees the records, then the list, the file object and the collection.
    void ReleaseStorage() {
        FreeRecords();
        m_pRecordList.reset();
        m_pFile.reset();
        m_pCollection.reset();
    }

    std::unique_ptr<TMgr> m_pCollection;
    std::unique_ptr<CxFile> m_pFile;
    std::unique_ptr<CxList> m_pRecordList;
};
