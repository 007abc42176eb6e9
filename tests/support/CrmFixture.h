// CrmData built by hand for the tests of matching and of the review and
// clean-up pages: the four exchange objects and duplicate lists, and records kept by
// their exchange object and linked both ways with an entry of the kind's
// collection, as reading a data file links them.
#pragma once

#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "DefaultRules.h"
#include "TestSupport.h"

#include <initializer_list>
#include <vector>

namespace testsupport {

// The items of a duplicate list (or any CxList), in order.
inline std::vector<void*> ListItems(CxList* list) {
    std::vector<void*> items;
    if (list)
        for (void* item = list->GetFirst(); item; item = list->GetNext())
            items.push_back(item);
    return items;
}

// Owns CrmData while it lives: Build makes empty exchange objects (whose files
// lie in a folder of their own) and empty duplicate lists; the destructor
// frees everything. Build may also run on a worker thread, as a load does.
class HandMadeCrmData {
public:
    HandMadeCrmData() { Build(); }
    ~HandMadeCrmData() { FreeCrmData(); }
    HandMadeCrmData(const HandMadeCrmData&) = delete;
    HandMadeCrmData& operator=(const HandMadeCrmData&) = delete;

    // Frees what CrmData holds and makes it anew, empty.
    void Build() {
        FreeCrmData();
        CrmData.AddrUtil = new CxSFAddrUtil;
        CrmData.DateUtil = new CxSFDateUtil;
        CrmData.TaskUtil = new CxSFTaskUtil;
        CrmData.NoteUtil = new CxSFNoteUtil;
        for (CxSFBaseUtil* util : std::initializer_list<CxSFBaseUtil*>{
                 CrmData.AddrUtil, CrmData.DateUtil, CrmData.TaskUtil, CrmData.NoteUtil})
            util->SetDataFolder(m_folder.Folder().c_str());
        CrmData.AddrDupList = new CxList;
        CrmData.DateDupList = new CxList;
        CrmData.TaskDupList = new CxList;
        CrmData.NoteDupList = new CxList;
    }

    // Keeps a copy of rec in util and links it with a new collection entry.
    template <class TUtil>
    static typename TUtil::Record* Keep(TUtil* util, const typename TUtil::Record& rec) {
        typename TUtil::CommonRecord common;
        auto* kept = util->KeepRecord(&rec);
        auto* entry = util->GetCollection()->AddRecord(&common);
        kept->Entry = entry;
        entry->NativeData = kept;
        return kept;
    }

    static SFAddrRec* AddContact(const char* name, const char* email, double modified = 1,
                                 const char* phone = "", const char* department = "",
                                 const char* title = "") {
        SFAddrRec rec;
        CopyText(rec.Name, name);
        CopyText(rec.Email, email);
        CopyText(rec.Phone, phone);
        CopyText(rec.Department, department);
        CopyText(rec.Title, title);
        rec.LastModificationTime = modified;
        return Keep(CrmData.AddrUtil, rec);
    }

    static SFDateRec* AddEvent(const char* subject, double start, double modified = 1) {
        SFDateRec rec;
        CopyText(rec.Subject, subject);
        rec.StartTime = start;
        rec.EndTime = start + 1.0 / 24;
        rec.LastModificationTime = modified;
        return Keep(CrmData.DateUtil, rec);
    }

    static SFTaskRec* AddTask(const char* subject, double due = 0, double modified = 1) {
        SFTaskRec rec;
        CopyText(rec.Subject, subject);
        CopyText(rec.Priority, "Normal");
        rec.DueDate = due;
        rec.LastModificationTime = modified;
        return Keep(CrmData.TaskUtil, rec);
    }

    // Any two notes are duplicates of each other.
    static SFNoteRec* AddNote() { return Keep(CrmData.NoteUtil, SFNoteRec{}); }

private:
    TempDir m_folder;
};

} // namespace testsupport
