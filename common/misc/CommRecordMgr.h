// The shared design of the record collections: each keeps its own copies of the
// records it is given, in insertion order, walked with the list's one cursor.
//
// Ownership of an attached block: a record whose NativeData is set and whose
// NativeSize is above 0 owns that block; adding the record copies the block (with
// malloc) and freeing it frees the block (with free). With NativeSize 0,
// NativeData is a link that is copied as it is and never followed or freed.
//
// Stored records are allocated with new and released only by the collection
// (DeleteRecord, DeleteAll, destructor); users hold pointers into it.
#pragma once

#include "CxList.h"
#include "CxNewCopy.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

template <class TRec> class CommRecordMgr {
public:
    using Record = TRec;

    CommRecordMgr(const CommRecordMgr&) = delete;
    CommRecordMgr& operator=(const CommRecordMgr&) = delete;

    // Stores a copy of rec and returns it; null for a null rec or when memory
    // ran out. A failed copy of the attached block still stores the record, with
    // a null NativeData. The caller keeps rec.
    TRec* AddRecord(const TRec* rec) {
        if (!rec)
            return nullptr;
        TRec* copy = NewCopy(*rec);
        if (!copy)
            return nullptr;
        if (rec->NativeData && rec->NativeSize > 0) {
            copy->NativeData = std::malloc(rec->NativeSize);
            if (copy->NativeData)
                std::memcpy(copy->NativeData, rec->NativeData, rec->NativeSize);
        }
        if (!m_List.Add(copy)) {
            FreeRecord(copy);
            return nullptr;
        }
        return copy;
    }

    // Frees every stored record in list order and empties the collection.
    void DeleteAll() {
        for (void* item = m_List.GetFirst(); item; item = m_List.GetNext())
            FreeRecord(static_cast<TRec*>(item));
        m_List.RemoveAll(false);
    }

    // Removes one stored record and frees it; false, with nothing changed, when
    // the pointer is not stored. The cursor moves onto the record that followed
    // it, as the list's Remove does.
    bool DeleteRecord(TRec* stored) {
        if (!stored || !m_List.Remove(stored, false))
            return false;
        FreeRecord(stored);
        return true;
    }

    TRec* GetFirstRecord() { return static_cast<TRec*>(m_List.GetFirst()); }
    TRec* GetNextRecord() { return static_cast<TRec*>(m_List.GetNext()); }
    uint32_t GetRecordCount() const { return m_List.GetCount(); }

    // Puts the cursor on a stored record (compared by address), so that the next
    // GetNextRecord returns the one after it; false, cursor unchanged, when the
    // pointer is not stored.
    bool SetCurrentRecord(const TRec* stored) {
        return stored && m_List.SetCurrent(const_cast<TRec*>(stored));
    }

    // Frees a record the collection allocated, with its attached block when it
    // owns one. A null record is ignored.
    static void FreeRecord(TRec* rec) {
        if (!rec)
            return;
        if (rec->NativeData && rec->NativeSize > 0)
            std::free(rec->NativeData);
        delete rec;
    }

protected:
    CommRecordMgr() = default;
    // Not virtual: a collection is destroyed as its own kind.
    ~CommRecordMgr() { DeleteAll(); }

private:
    CxList m_List;
};
