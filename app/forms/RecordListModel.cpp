#include "RecordListModel.h"

#include "CxDateTime.h"
#include "CxText.h"
#include "DupMatch.h"
#include "EventTimeText.h"

#include <climits>
#include <cstring>

namespace {

// A cell shows one line and no more than a narrow column can hold; longer
// texts (a task's description runs to 8 KB) are cut at a character boundary
// so that painting a row stays cheap.
constexpr size_t kMaxCellBytes = 512;

QString CellText(const char* text, size_t len) {
    len = Utf8CutLength(text, len, kMaxCellBytes);
    QString cell = QString::fromUtf8(text, static_cast<qsizetype>(len));
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell.at(i).unicode() < 0x20)
            cell[i] = QLatin1Char(' ');
    }
    return cell;
}

// A record's text member, read no further than its array.
template <size_t N> QString CellText(const char (&field)[N]) {
    return CellText(field, strnlen(field, N));
}

template <size_t N> QString CellText(const CxBoundedText<N>& field) {
    return CellText(field.c_str(), field.size());
}

QString DateCell(double value) {
    char buf[32] = {};
    DateToText(value, buf, sizeof(buf));
    return CellText(buf);
}

QString YesNoCell(bool flag) {
    char buf[8] = {};
    YesNoText(flag ? 1 : 0, buf);
    return CellText(buf);
}

const SFAddrRec& Addr(const void* r) {
    return *static_cast<const SFAddrRec*>(r);
}
const SFDateRec& Date(const void* r) {
    return *static_cast<const SFDateRec*>(r);
}
const SFTaskRec& Task(const void* r) {
    return *static_cast<const SFTaskRec*>(r);
}

const TRecordListColumn kAddrColumns[] = {
    {"Full Name", 120, [](const void* r) { return CellText(Addr(r).Name); }},
    {"Email", 120, [](const void* r) { return CellText(Addr(r).Email); }},
    {"Primary Phone", 100, [](const void* r) { return CellText(Addr(r).Phone); }},
    {"Department", 100, [](const void* r) { return CellText(Addr(r).Department); }},
    {"Job Title", 100, [](const void* r) { return CellText(Addr(r).Title); }},
};

const TRecordListColumn kDateColumns[] = {
    {"Subject", 200, [](const void* r) { return CellText(Date(r).Subject); }},
    {"Start Time", 80,
     [](const void* r) { return EventTimeText(Date(r).StartTime, Date(r).AllDayEvent); }},
    {"End Time", 80,
     [](const void* r) { return EventTimeText(Date(r).EndTime, Date(r).AllDayEvent); }},
    {"All Day Event", 100, [](const void* r) { return YesNoCell(Date(r).AllDayEvent); }},
    {"Location", 150, [](const void* r) { return CellText(Date(r).Location); }},
};

const TRecordListColumn kTaskColumns[] = {
    {"Subject", 200, [](const void* r) { return CellText(Task(r).Subject); }},
    {"Importance", 80, [](const void* r) { return CellText(Task(r).Priority); }},
    {"Due Date", 80, [](const void* r) { return DateCell(Task(r).DueDate); }},
    {"Description", 240, [](const void* r) { return CellText(Task(r).Description); }},
};

// A note shows no text of its own.
const TRecordListColumn kNoteColumns[] = {
    {"Notes", 600, [](const void*) { return QStringLiteral("Note Text"); }},
};

} // namespace

std::span<const TRecordListColumn> RecordListColumns(RecordKindMask kind) {
    switch (kind) {
    case rkAddr:
        return kAddrColumns;
    case rkDate:
        return kDateColumns;
    case rkTask:
        return kTaskColumns;
    case rkNote:
        return kNoteColumns;
    }
    return {};
}

TRecordListModel::TRecordListModel(RecordKindMask kind, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_columns(RecordListColumns(kind)) {}

TRecordListModel::~TRecordListModel() = default;

void TRecordListModel::BeginFill(size_t expectedRows) {
    if (!m_bFilling) {
        beginResetModel();
        m_bFilling = true;
    }
    m_rows.clear();
    if (expectedRows > m_rows.capacity() && expectedRows <= static_cast<size_t>(INT_MAX))
        m_rows.reserve(expectedRows);
}

void TRecordListModel::EndFill() {
    if (!m_bFilling)
        return;
    m_bFilling = false;
    endResetModel();
}

bool TRecordListModel::AppendRow(RecordKindMask kind, void* record, bool ticked) {
    if (!record || kind != m_kind || m_columns.empty() ||
        m_rows.size() >= static_cast<size_t>(INT_MAX))
        return false;
    if (m_bFilling) {
        m_rows.push_back({record, ticked});
        return true;
    }
    const int row = RowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back({record, ticked});
    endInsertRows();
    return true;
}

void TRecordListModel::Clear() {
    if (m_bFilling) {
        m_rows.clear();
        return;
    }
    beginResetModel();
    std::vector<TRow>().swap(m_rows);
    endResetModel();
}

void* TRecordListModel::RecordAt(int row) const {
    return IsRow(row) ? m_rows[static_cast<size_t>(row)].record : nullptr;
}

bool TRecordListModel::IsTicked(int row) const {
    return IsRow(row) && m_rows[static_cast<size_t>(row)].ticked;
}

bool TRecordListModel::SetTicked(int row, bool on) {
    if (!IsRow(row))
        return false;
    TRow& entry = m_rows[static_cast<size_t>(row)];
    if (entry.ticked != on) {
        entry.ticked = on;
        NotifyTicks(row, row);
    }
    return true;
}

void TRecordListModel::TickRange(int first, int last, bool on) {
    if (m_rows.empty())
        return;
    if (first < 0)
        first = 0;
    if (last >= RowCount())
        last = RowCount() - 1;
    if (first > last)
        return;
    for (int row = first; row <= last; ++row)
        m_rows[static_cast<size_t>(row)].ticked = on;
    NotifyTicks(first, last);
}

void TRecordListModel::TickAll(bool on) {
    TickRange(0, RowCount() - 1, on);
}

void TRecordListModel::NotifyTicks(int first, int last) {
    // During a fill the views are told everything at EndFill.
    if (m_bFilling)
        return;
    emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
}

int TRecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

int TRecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TRecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()) || index.column() < 0 ||
        static_cast<size_t>(index.column()) >= m_columns.size())
        return {};
    const TRow& row = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return m_columns[static_cast<size_t>(index.column())].text(row.record);
    if (role == Qt::CheckStateRole && index.column() == 0)
        return static_cast<int>(row.ticked ? Qt::Checked : Qt::Unchecked);
    return {};
}

bool TRecordListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0)
        return false;
    return SetTicked(index.row(), value.toInt() == static_cast<int>(Qt::Checked));
}

QVariant TRecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<size_t>(section) >= m_columns.size())
        return {};
    return QString::fromUtf8(m_columns[static_cast<size_t>(section)].caption);
}

Qt::ItemFlags TRecordListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}
