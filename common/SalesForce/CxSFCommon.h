// The exchange objects' common part: the settings every kind hands to its helper
// program, the round trip with the helper (parameter file, run, error file), and
// the record keeping shared by the four kinds (a collection of common records,
// the data file object and the list of CRM records).
#pragma once

#include "CxDebugUtil.h"
#include "CxFile.h"
#include "CxList.h"
#include "CxNewCopy.h"
#include "CxSFDataReader.h"
#include "SFRecords.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CxSFParamParser;

// A folder and a file name joined with one '/' between them.
std::string JoinFolderFile(const char* folder, const char* fileName);

// The record kinds, each with one helper runner for the whole program.
enum SFKind : int { skNone = -1, skAddr = 0, skDate = 1, skTask = 2, skNote = 3 };

// True when format has exactly one conversion, '%' followed by conv, and no
// other '%'.
constexpr bool IsOneArgFormat(const char* format, char conv) {
    int found = 0;
    for (const char* p = format; p && *p; ++p) {
        if (*p != '%')
            continue;
        if (p[1] != conv)
            return false;
        ++found;
        ++p;
    }
    return found == 1;
}

// The log texts of one kind's data file and load. readStart and writeStart are
// printf formats of the data file name (%s), count of the number of records
// (%d); the others are logged as they are.
struct CxSFKindTexts {
    const char* readStart;
    const char* count;
    const char* readDone;
    const char* writeStart;
    const char* writeDone;
    const char* loadStart;
    const char* loadDone;
    const char* loadFailed;

    // For a static_assert on each kind's table: the formats match the
    // arguments the shared code passes.
    constexpr bool HasValidFormats() const {
        return IsOneArgFormat(readStart, 's') && IsOneArgFormat(count, 'd') &&
               IsOneArgFormat(writeStart, 's');
    }
};

class CxSFBaseUtil {
public:
    CxSFBaseUtil();
    // Asks a helper of the kind that is still running to stop (the state file),
    // then deletes the progress file and the error file.
    virtual ~CxSFBaseUtil();
    CxSFBaseUtil(const CxSFBaseUtil&) = delete;
    CxSFBaseUtil& operator=(const CxSFBaseUtil&) = delete;

    virtual bool Load();
    // Deletes the kind's progress file and error file in the data folder.
    virtual bool Clear();
    virtual bool Submit();
    // The sign-out request: the helper ends and forgets the browser sign-in it
    // keeps for the user name; nothing is loaded or deleted, the data file is
    // left alone. True when the helper ran to a clean end without reporting
    // an error; its answer is then its last progress line (ReadProgressLine),
    // otherwise HasError and GetLastError tell why.
    bool SignOut();
    // The undelete request: the helper restores from the recycle bin the
    // records that the results file of an earlier submit (a path or a name in
    // the data folder; only its name is sent) lists as deleted. True when the
    // helper ran to a clean end; what it restored and what failed are then in
    // GetRestoredCount, GetRequestedCount, HasError and GetFirstError.
    bool Undelete(const char* resultsFile);

    // The helper's requests.
    static constexpr int32_t kLoadRequest = 1;
    static constexpr int32_t kSubmitRequest = 2;
    static constexpr int32_t kUndeleteRequest = 3;
    static constexpr int32_t kSignOutRequest = 4;

    // The kind's data file in the data folder (the kind's own name when fileName
    // is null or empty); the base has none.
    virtual bool ReadDataFile(const char* fileName = nullptr);
    virtual bool WriteDataFile(const char* fileName = nullptr);

    // One round trip with the kind's helper for the current request: writes the
    // parameter file, runs the helper and reads its error file. False when a
    // file of the exchange would have a path of more than 259 characters or the
    // parameter file could not be written (the helper is then not run) or the
    // helper did not run to a clean end; HasError and GetLastError tell why.
    bool ExchangeWithHelper();
    // Takes the last error of the helper's error file into GetLastError; no
    // error file, or a count of 0 or less, clears HasError.
    void ReadHelperError();
    // Writes the stop request into the kind's state file when it says a helper
    // is running and that helper is the one this program started and has not
    // seen end (its pid is in the state file).
    void RequestStopIfRunning();

    // The runner of a kind, made on first use (unless make is false) and kept
    // until the program ends; null for skNone.
    static CxSFDataReader* KindRunner(int kind, bool make = true);

    // A null or empty text empties the member; any other is copied, cut to 255
    // characters at a character boundary.
    void SetUserName(const char* text);
    void SetPassword(const char* text);
    void SetToken(const char* text);
    // The same for the folder and the file names, which are never cut: a text
    // of more than 255 characters empties the member, and a data folder refused
    // so makes every exchange fail with "The data folder path is too long".
    void SetDataFolder(const char* text);
    void SetLogLocation(const char* text);
    void SetDataFileName(const char* text);
    void SetParamFileName(const char* text);
    void SetErrorFileName(const char* text);
    void SetStatusFileName(const char* text);
    void SetLogLevel(int32_t level) { m_nLogLevel = level; }
    void SetDebugEnabled(bool enabled) { m_bDebugEnabled = enabled; }
    // The helper's file name in the program folder (the kind's own at
    // construction), at most 259 characters (a longer one empties it); null
    // leaves it.
    void SetHelperName(const char* text);
    // How long a helper run may take; 30 minutes at construction.
    void SetHelperTimeout(uint32_t ms) { m_nHelperTimeoutMs = ms; }
    // What the helper connects to: kind "salesforce" with the login address
    // (no trailing '/') or "local" with the local org's path (possibly empty).
    // Null is taken as empty; a target of more than 259 characters is refused
    // (left empty), the kind is cut to 259 characters. While the
    // kind is empty (as at construction) neither is sent, and the helper goes
    // by its own settings file.
    void SetConnection(const char* kind, const char* target);
    // How the helper signs in to salesforce: method "password" (user name,
    // password and security token) or "browser", the consumer key of the
    // org's client app and the callback address registered there. Sent only
    // with the connection kind "salesforce"; an empty method is sent as
    // "password". Each text is cut to its member (method 15, key 255, callback
    // 259 characters), null is taken as empty.
    void SetSignInMethod(const char* method);
    void SetConsumerKey(const char* text);
    void SetCallbackUrl(const char* text);

    const char* GetUserName() const { return m_szUserName; }
    const char* GetPassword() const { return m_szPassword; }
    const char* GetToken() const { return m_szToken; }
    const char* GetDataFolder() const { return m_szDataFolder; }
    const char* GetDataFileName() const { return m_szDataFileName; }
    const char* GetParamFileName() const { return m_szParamFileName; }
    const char* GetErrorFileName() const { return m_szErrorFileName; }
    const char* GetStatusFileName() const { return m_szStatusFileName; }
    const char* GetLastError() const { return m_szLastError; }
    // The first error of the helper's error file (empty when none), and the
    // number of entries it holds (capped by the helper; see GetDeletedCount for
    // the records that really failed).
    const char* GetFirstError() const { return m_szFirstError; }
    int32_t GetErrorCount() const { return m_nErrorCount; }
    const char* GetLogLocation() const { return m_szLogLocation; }
    const char* GetReservedText() const { return m_szReserved; }
    int32_t GetLogLevel() const { return m_nLogLevel; }
    bool IsDebugEnabled() const { return m_bDebugEnabled; }
    int32_t GetRequest() const { return m_nRequest; }
    const char* GetHelperName() const { return m_szHelperName; }
    uint32_t GetHelperTimeout() const { return m_nHelperTimeoutMs; }
    const char* GetStateFileName() const { return m_szStateFileName; }
    int GetKind() const { return m_nKind; }
    const char* GetConnectionKind() const { return m_szConnectionKind; }
    const char* GetConnectionTarget() const { return m_szConnectionTarget; }
    const char* GetSignInMethod() const { return m_szSignInMethod; }
    const char* GetConsumerKey() const { return m_szConsumerKey; }
    const char* GetCallbackUrl() const { return m_szCallbackUrl; }

    // The last line of the kind's progress file that is not empty, without its
    // line end; empty when there is no such line or file.
    std::string ReadProgressLine() const;

    // The helper's report of the last run (section Submit of its error file):
    // the records marked for deletion it found, those it really deleted (-1
    // when the report does not say), and the path of its file with the outcome
    // of every marked record (empty when it named none).
    int32_t GetMarkedCount() const { return m_nMarkedCount; }
    int32_t GetDeletedCount() const { return m_nDeletedCount; }
    const char* GetResultsFile() const { return m_szResultsFile; }
    // The backup file of the records the last submit deleted (empty: none).
    const char* GetBackupFile() const { return m_szBackupFile; }
    // The last undelete's report: the records the results file named as
    // deleted, those restored (-1 when not said), and its own results file.
    int32_t GetRequestedCount() const { return m_nRequestedCount; }
    int32_t GetRestoredCount() const { return m_nRestoredCount; }
    const char* GetRestoredFile() const { return m_szRestoredFile; }
    // Takes the Submit section of the helper's error file into the counts and
    // the results file; what the file does not say reads as unknown.
    void ReadSubmitReport();

    // Records are marked for deletion and not yet submitted.
    bool IsChanged() const { return m_bChanged; }
    // The last helper run left an error (its text in GetLastError).
    bool HasError() const { return m_bHasError; }

    // The data folder joined with a file name, without doubling the separator.
    std::string DataPath(const char* fileName) const;

protected:
    // The given data file name, or the kind's own when it is null or empty.
    const char* DataFileNameOr(const char* fileName) const;

    // Set by each kind's constructor: its runner, helper and state file.
    void SetKind(int kind, const char* helperName, const char* stateFileName);
    // Values the kind sends after the common ones; false when one was refused.
    virtual bool AddKindParams(CxSFParamParser& params) const;

    // Every kind's Load, logged with its texts as from srcFile and srcLine (the
    // kind's call): Clear, then LoadFromHelper.
    bool LoadKind(const CxSFKindTexts& texts, const char* srcFile, int srcLine);
    // The first steps of reading or writing a data file (mode "rb" or "wb"):
    // logs startFormat with the file name, closes file and opens the name's
    // path in the data folder (path). False, logged, when it cannot be opened.
    bool OpenDataFile(CxFile& file, const char* fileName, const char* mode, const char* startFormat,
                      const char* srcFile, int srcLine, std::string& path) const;
    // The load request after the kind's Clear: deletes the old data file, runs
    // the helper, and reads the new data file only after a clean run without a
    // reported error. False otherwise, with HasError and GetLastError set.
    bool LoadFromHelper();
    // Writes the data file and sends it with the submit request. True when no
    // record was marked since the last submit (nothing is sent) or the helper ran
    // to a clean end; its reported errors then stand in HasError. False, with the
    // marks kept, when the data file could not be written or the run failed.
    bool SubmitChanges();
    // Sets HasError and the text of GetLastError, and logs it as a failure.
    void SetError(const char* text);

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
    char m_szHelperName[260];
    char m_szStateFileName[256];
    int m_nKind;
    uint32_t m_nHelperTimeoutMs;
    char m_szConnectionKind[260];
    char m_szConnectionTarget[260];
    char m_szSignInMethod[16];
    char m_szConsumerKey[256];
    char m_szCallbackUrl[260];
    int32_t m_nMarkedCount;
    int32_t m_nDeletedCount;
    char m_szResultsFile[1024];
    char m_szFirstError[1024];
    int32_t m_nErrorCount;
    std::string m_sRefusedFolder; // the last data folder refused as too long
    char m_szBackupFile[1024];
    char m_szUndoResults[256];
    int32_t m_nRequestedCount;
    int32_t m_nRestoredCount;
    char m_szRestoredFile[1024];

private:
    void ClearSubmitReport();
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

    bool Submit() override { return SubmitChanges(); }

    // Marks the entry's CRM record for deletion at the next Submit. False only
    // without an entry; an entry without a record of this object changes nothing.
    // With submitNow the marks are submitted at once, and the record is dropped
    // only when the helper ran cleanly and reported no error; the result is then
    // Submit's.
    bool MarkDeleted(CommonRecord* entry, bool submitNow) {
        if (!entry)
            return false;
        TRec* rec = static_cast<TRec*>(entry->NativeData);
        if (!rec || rec->Entry != entry)
            return true;
        rec->ChangeAction = kChangeActionDelete;
        m_bChanged = true;
        if (!submitNow)
            return true;
        if (!Submit())
            return false;
        if (!HasError())
            DropRecord(rec);
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
        return AdoptRecord(NewCopy(*rec));
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
    // Every kind's ReadDataFile, logged with its texts as from srcFile and
    // srcLine (the kind's call). A deletion mark a record arrives with is
    // cleared; each record gets an entry in the collection (FillCommonRecord).
    bool ReadKindFile(const char* fileName, const CxSFKindTexts& texts, const char* srcFile,
                      int srcLine) {
        CxFile& file = *m_pFile;
        std::string path;
        if (!OpenDataFile(file, fileName, "rb", texts.readStart, srcFile, srcLine, path))
            return false;
        uint32_t count = 0;
        bool whole = ReadRecordCount(file, count);
        if (whole)
            DebugLog.Log(LOG_NORMAL, srcFile, srcLine, texts.count, static_cast<int>(count));
        std::vector<std::unique_ptr<TRec>> records;
        whole = whole && ReadFileRecords(count, records);
        file.Close();
        if (!whole) {
            DebugLog.Log(LOG_CRITICAL, srcFile, srcLine, "Data file is truncated: %s",
                         path.c_str());
            return false;
        }
        for (size_t i = 0; i < records.size(); ++i) {
            std::unique_ptr<TRec>& rec = records[i];
            // A deletion mark is the user's decision, never the helper's.
            if (rec->ChangeAction == kChangeActionDelete) {
                rec->ChangeAction = 0;
                DebugLog.Log(LOG_CRITICAL, srcFile, srcLine,
                             "Record %s arrived marked for deletion; the mark was cleared.",
                             RecordName(*rec, i).c_str());
            }
            CommonRecord common;
            FillCommonRecord(*rec, common);
            KeepLinked(std::move(rec), m_pCollection->AddRecord(&common));
        }
        DebugLog.Log(LOG_NORMAL, srcFile, srcLine, "%s", texts.readDone);
        return true;
    }

    // Every kind's WriteDataFile, logged as ReadKindFile is.
    bool WriteKindFile(const char* fileName, const CxSFKindTexts& texts, const char* srcFile,
                       int srcLine) {
        CxFile& file = *m_pFile;
        std::string path;
        if (!OpenDataFile(file, fileName, "wb", texts.writeStart, srcFile, srcLine, path))
            return false;
        DebugLog.Log(LOG_NORMAL, srcFile, srcLine, texts.count,
                     static_cast<int>(m_pRecordList->GetCount()));
        const bool written = WriteFileRecords();
        file.Close();
        if (!written || file.HasFailed()) {
            DebugLog.Log(LOG_CRITICAL, srcFile, srcLine, "Failed to write file: %s", path.c_str());
            return false;
        }
        DebugLog.Log(LOG_NORMAL, srcFile, srcLine, "%s", texts.writeDone);
        return true;
    }

    // Fills the default-constructed entry of a record read from the data file;
    // here only its source, a kind with more to carry over overrides it.
    virtual void FillCommonRecord(const TRec& /*rec*/, CommonRecord& common) const {
        common.SourceType = kSourceTypeSalesForce;
    }

    // How the log names the record at index of the data file: its Id, or, for
    // a kind whose records have none, its place counted from 1.
    static std::string RecordName(const TRec& rec, size_t index) {
        if constexpr (requires { rec.Id; })
            return rec.Id;
        else
            return std::to_string(index + 1);
    }

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
