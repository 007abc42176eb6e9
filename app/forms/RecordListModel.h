// The rows of a review list: one row per CRM record of one kind, each with its
// tick. The model keeps only the record pointer and the tick of a row and
// formats the cell texts from the record when the view asks for them, so a
// list of any length fills in one pass and costs two words per row.
//
// The rows are appended by whoever walks the records (a duplicate list or the
// record walk of a kind); the model never walks a collection itself. Records
// must outlive their rows: Clear the model before the records are freed.
#pragma once

#include "Apputil.h"
#include "SFRecords.h"

#include <QAbstractTableModel>
#include <QString>
#include <cstddef>
#include <span>
#include <vector>

// One column of a list: header caption, width in pixels and the cell text of
// a record (never null; the record is of the list's kind).
//
// Every kind's last column, "Kept Record", names the record kept in a
// duplicate's stead (its KeptRecord), after "(through empty fields) " and in
// the palette's placeholder text colour when the duplicate does not equal it
// itself (mkIndirect); it is empty for a record that is no duplicate. A
// duplicate's row has a tooltip with the fields the rules in force compare,
// of both records side by side.
struct TRecordListColumn {
    const char* caption;
    int width;
    QString (*text)(const void* record);
    // A date with a time of day: the column starts wide enough for one.
    bool showsDateTime = false;
};

// The columns of a kind's list, in order; empty for anything but one of
// rkAddr, rkDate, rkTask, rkNote.
std::span<const TRecordListColumn> RecordListColumns(RecordKindMask kind);

// The kind of list a CRM record type belongs in.
template <class TRec> struct TRecordListKindOf;
template <> struct TRecordListKindOf<SFAddrRec> { static constexpr RecordKindMask value = rkAddr; };
template <> struct TRecordListKindOf<SFDateRec> { static constexpr RecordKindMask value = rkDate; };
template <> struct TRecordListKindOf<SFTaskRec> { static constexpr RecordKindMask value = rkTask; };
template <> struct TRecordListKindOf<SFNoteRec> { static constexpr RecordKindMask value = rkNote; };

class TRecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TRecordListModel(RecordKindMask kind, QObject* parent = nullptr);
    ~TRecordListModel() override;

    RecordKindMask Kind() const { return m_kind; }
    std::span<const TRecordListColumn> Columns() const { return m_columns; }
    // The "Kept Record" column; -1 for a list of no kind.
    int KeptColumn() const;

    // A refill: BeginFill empties the model and holds back every view update
    // until EndFill, which shows the new rows at once. Appends between the two
    // cost no signal. expectedRows only reserves room.
    void BeginFill(size_t expectedRows = 0);
    void EndFill();
    bool IsFilling() const { return m_bFilling; }

    // Appends a row for record; false for a null record, a record of another
    // kind (the type decides) or a full model. Outside a fill the views learn
    // of the row at once.
    template <class TRec> bool Append(TRec* record, bool ticked) {
        return AppendRow(TRecordListKindOf<TRec>::value, record, ticked);
    }

    // Removes every row and gives back their memory.
    void Clear();

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // The record of a row; null for a row out of range.
    void* RecordAt(int row) const;
    // The same, typed; null also when TRec is not the list's kind.
    template <class TRec> TRec* RecordAs(int row) const {
        return m_kind == TRecordListKindOf<TRec>::value ? static_cast<TRec*>(RecordAt(row))
                                                        : nullptr;
    }

    // False for a row out of range.
    bool IsTicked(int row) const;
    bool SetTicked(int row, bool on);
    // Ticks rows first to last (both included, cut to the rows there are)
    // with one change notice for the whole range.
    void TickRange(int first, int last, bool on);
    void TickAll(bool on);

    // The check box sits in the first column.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct TRow {
        void* record;
        bool ticked;
    };

    bool AppendRow(RecordKindMask kind, void* record, bool ticked);
    bool IsRow(int row) const { return row >= 0 && static_cast<size_t>(row) < m_rows.size(); }
    void NotifyTicks(int first, int last);

    RecordKindMask m_kind;
    std::span<const TRecordListColumn> m_columns;
    QString (*m_tip)(const void* record) = nullptr;
    bool (*m_indirect)(const void* record) = nullptr;
    std::vector<TRow> m_rows;
    bool m_bFilling = false;
};
