#include "RecordListModel.h"

#include "CxDateTime.h"
#include "CxText.h"
#include "DupMatch.h"
#include "EventTimeText.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <climits>
#include <cstring>

namespace {

// A cell shows one line and no more than a narrow column can hold; longer
// texts (a task's description runs to 8 KB) are cut at a character boundary
// so that painting a row stays cheap.
constexpr size_t kMaxCellBytes = 512;

QString CellText(const char* text, size_t len, size_t maxBytes = kMaxCellBytes) {
    len = Utf8CutLength(text, len, maxBytes);
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

// Start date and time of day, as one text.
QString DateTimeCell(double value) {
    char date[32] = {};
    char time[32] = {};
    DateToText(value, date, sizeof(date));
    TimeToText(value, time, sizeof(time));
    return value < 0.001 ? CellText(date) : CellText(date) + QLatin1Char(' ') + CellText(time);
}

// ---- the record kept in a duplicate's stead ----

const char kThroughEmpty[] = "(through empty fields) ";

// What names a kept record in its duplicate's row.
QString KeptName(const SFAddrRec& r) {
    const QString name = CellText(r.Name);
    const QString email = CellText(r.Email);
    if (email.isEmpty())
        return name;
    return name.isEmpty() ? email : name + QStringLiteral(" <") + email + QLatin1Char('>');
}

QString KeptName(const SFDateRec& r) {
    return CellText(r.Subject) + QStringLiteral(", ") + DateTimeCell(r.StartTime);
}

QString KeptName(const SFTaskRec& r) {
    return CellText(r.Subject) + QStringLiteral(", ") + DateCell(r.DueDate);
}

QString KeptName(const SFNoteRec&) {
    return QStringLiteral("Note Text");
}

// Of a duplicate: the kept record, after "(through empty fields) " when the
// duplicate does not equal it itself. Empty for any other record.
template <class TRec> QString KeptCell(const void* record) {
    const TRec& r = *static_cast<const TRec*>(record);
    if (!(r.Flags & mkDuplicate) || !r.KeptRecord)
        return {};
    const QString name = KeptName(*r.KeptRecord);
    return (r.Flags & mkIndirect) ? QString::fromUtf8(kThroughEmpty) + name : name;
}

// The tooltip of a duplicate's row: the fields the rules in force compare, of
// the duplicate and of its kept record side by side. A row whose two values
// differ under the rules is bold.
template <class TRec> class TCompareTip {
public:
    explicit TCompareTip(const TRec& rec) : m_rec(rec), m_kept(rec.KeptRecord) {}

    template <size_t N> void Text(const char* label, char (TRec::*field)[N]) {
        Row(label, TipText(m_rec.*field, N), m_kept ? TipText((*m_kept).*field, N) : QString(),
            m_kept && CompareField(m_rec.*field, (*m_kept).*field) == 0);
    }
    template <size_t N> void Text(const char* label, CxBoundedText<N> TRec::*field) {
        const auto& mine = m_rec.*field;
        Row(label, TipText(mine.c_str(), mine.size()),
            m_kept ? TipText(((*m_kept).*field).c_str(), ((*m_kept).*field).size()) : QString(),
            m_kept && CompareField(mine.c_str(), ((*m_kept).*field).c_str()) == 0);
    }
    template <class TValue>
    void Value(const char* label, TValue TRec::*field, QString (*text)(TValue)) {
        Row(label, text(m_rec.*field), m_kept ? text((*m_kept).*field) : QString(),
            m_kept && m_rec.*field == (*m_kept).*field);
    }

    // A row the same on both sides whatever the records hold.
    void Same(const char* label, const QString& text) {
        Row(label, text, m_kept ? text : QString(), true);
    }

    QString Html() const {
        QString html;
        if (m_rec.Flags & mkIndirect)
            html += QStringLiteral("<p>Listed only through records with empty fields: it does "
                                   "not match the kept record itself.</p>");
        html += QStringLiteral("<table cellspacing=\"2\"><tr><th></th><th align=\"left\">This "
                               "Record</th><th align=\"left\">Kept Record</th></tr>");
        return html + m_rows + QStringLiteral("</table>");
    }

private:
    static QString TipText(const char* text, size_t len) {
        return CellText(text, strnlen(text, len), kMaxTipBytes).toHtmlEscaped();
    }
    void Row(const char* label, const QString& mine, const QString& kept, bool same) {
        const QString open = same ? QStringLiteral("<td>") : QStringLiteral("<td><b>");
        const QString close = same ? QStringLiteral("</td>") : QStringLiteral("</b></td>");
        m_rows += QStringLiteral("<tr><td>") + QString::fromUtf8(label) + QStringLiteral("</td>") +
                  open + mine + close + open + kept + close + QStringLiteral("</tr>");
    }

    // A tooltip shows the start of a long text only.
    static constexpr size_t kMaxTipBytes = 120;

    const TRec& m_rec;
    const TRec* m_kept;
    QString m_rows;
};

QString TipDate(double value) {
    return DateCell(value);
}
QString TipDateTime(double value) {
    return DateTimeCell(value);
}
QString TipYesNo(bool flag) {
    return YesNoCell(flag);
}
QString TipNumber(int32_t value) {
    return QString::number(value);
}

void AddComparedFields(const TAppSettings& s, TCompareTip<SFAddrRec>& tip) {
    using R = SFAddrRec;
    if (s.AddrDisplayName)
        tip.Text("Full Name", &R::Name);
    if (s.AddrFirstName)
        tip.Text("First Name", &R::FirstName);
    if (s.AddrLastName)
        tip.Text("Last Name", &R::LastName);
    if (s.AddrDepartment)
        tip.Text("Department", &R::Department);
    if (s.AddrTitle)
        tip.Text("Job Title", &R::Title);
    if (s.AddrEmail)
        tip.Text("Email", &R::Email);
    if (s.AddrPhone) {
        tip.Text("Primary Phone", &R::Phone);
        tip.Text("Mobile Phone", &R::MobilePhone);
        tip.Text("Other Phone", &R::OtherPhone);
    }
    if (s.AddrAddress) {
        tip.Text("Mailing City", &R::MailingCity);
        tip.Text("Mailing Country", &R::MailingCountry);
        tip.Text("Mailing Postal Code", &R::MailingPostalCode);
        tip.Text("Mailing State", &R::MailingState);
        tip.Text("Mailing Street", &R::MailingStreet);
        tip.Text("Other City", &R::OtherCity);
        tip.Text("Other Country", &R::OtherCountry);
        tip.Text("Other Postal Code", &R::OtherPostalCode);
        tip.Text("Other State", &R::OtherState);
        tip.Text("Other Street", &R::OtherStreet);
    }
    if (s.AddrBirthday)
        tip.Value("Birth Date", &R::BirthDate, TipDate);
    if (s.AddrNote)
        tip.Text("Notes", &R::Description);
}

void AddComparedFields(const TAppSettings& s, TCompareTip<SFDateRec>& tip) {
    using R = SFDateRec;
    if (s.DateSubject)
        tip.Text("Subject", &R::Subject);
    if (s.DateStartTime)
        tip.Value("Start Time", &R::StartTime, TipDateTime);
    if (s.DateEndTime)
        tip.Value("End Time", &R::EndTime, TipDateTime);
    if (s.DateLocation)
        tip.Text("Location", &R::Location);
    if (s.DateAllDayEvent)
        tip.Value("All Day Event", &R::AllDayEvent, TipYesNo);
    if (s.DateRecur) {
        tip.Value("Recurring", &R::IsRecurrence, TipYesNo);
        tip.Value("Recurrence Day of Month", &R::RecurrenceDayOfMonth, TipNumber);
        tip.Value("Recurrence Days of Week", &R::RecurrenceDayOfWeekMask, TipNumber);
        tip.Value("Recurrence End", &R::RecurrenceEndDate, TipDateTime);
        tip.Value("Recurrence Instance", &R::RecurrenceInstance, TipNumber);
        tip.Value("Recurrence Interval", &R::RecurrenceInterval, TipNumber);
        tip.Value("Recurrence Start", &R::RecurrenceStartTime, TipDateTime);
        tip.Value("Recurrence Type", &R::RecurrenceType, TipNumber);
    }
    if (s.DateNote)
        tip.Text("Notes", &R::Description);
}

void AddComparedFields(const TAppSettings& s, TCompareTip<SFTaskRec>& tip) {
    using R = SFTaskRec;
    if (s.TaskSubject)
        tip.Text("Subject", &R::Subject);
    if (s.TaskImportance)
        tip.Text("Priority", &R::Priority);
    if (s.TaskDueDate)
        tip.Value("Due Date", &R::DueDate, TipDate);
    if (s.TaskNote)
        tip.Text("Notes", &R::Description);
}

// Notes compare no field: the row shows what the list shows.
void AddComparedFields(const TAppSettings&, TCompareTip<SFNoteRec>& tip) {
    tip.Same("Notes", QStringLiteral("Note Text"));
}

template <class TRec> QString CompareTip(const void* record) {
    const TRec& r = *static_cast<const TRec*>(record);
    if (!(r.Flags & mkDuplicate))
        return {};
    TCompareTip<TRec> tip(r);
    AddComparedFields(AppSettings, tip);
    return tip.Html();
}

template <class TRec> bool IsIndirect(const void* record) {
    return (static_cast<const TRec*>(record)->Flags & (mkDuplicate | mkIndirect)) ==
           (mkDuplicate | mkIndirect);
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
    {"Kept Record", 200, KeptCell<SFAddrRec>},
};

const TRecordListColumn kDateColumns[] = {
    {"Subject", 200, [](const void* r) { return CellText(Date(r).Subject); }},
    {"Start Time", 80,
     [](const void* r) { return EventTimeText(Date(r).StartTime, Date(r).AllDayEvent); }, true},
    {"End Time", 80,
     [](const void* r) { return EventTimeText(Date(r).EndTime, Date(r).AllDayEvent); }, true},
    {"All Day Event", 100, [](const void* r) { return YesNoCell(Date(r).AllDayEvent); }},
    {"Location", 150, [](const void* r) { return CellText(Date(r).Location); }},
    {"Kept Record", 150, KeptCell<SFDateRec>},
};

const TRecordListColumn kTaskColumns[] = {
    {"Subject", 200, [](const void* r) { return CellText(Task(r).Subject); }},
    {"Importance", 80, [](const void* r) { return CellText(Task(r).Priority); }},
    {"Due Date", 80, [](const void* r) { return DateCell(Task(r).DueDate); }},
    {"Description", 240, [](const void* r) { return CellText(Task(r).Description); }},
    {"Kept Record", 140, KeptCell<SFTaskRec>},
};

// A note shows no text of its own.
const TRecordListColumn kNoteColumns[] = {
    {"Notes", 600, [](const void*) { return QStringLiteral("Note Text"); }},
    {"Kept Record", 140, KeptCell<SFNoteRec>},
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

namespace {

struct TKindRoles {
    QString (*tip)(const void*);
    bool (*indirect)(const void*);
};

TKindRoles KindRoles(RecordKindMask kind) {
    switch (kind) {
    case rkAddr:
        return {CompareTip<SFAddrRec>, IsIndirect<SFAddrRec>};
    case rkDate:
        return {CompareTip<SFDateRec>, IsIndirect<SFDateRec>};
    case rkTask:
        return {CompareTip<SFTaskRec>, IsIndirect<SFTaskRec>};
    case rkNote:
        return {CompareTip<SFNoteRec>, IsIndirect<SFNoteRec>};
    }
    return {nullptr, nullptr};
}

} // namespace

TRecordListModel::TRecordListModel(RecordKindMask kind, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_columns(RecordListColumns(kind)) {
    const TKindRoles roles = KindRoles(kind);
    m_tip = roles.tip;
    m_indirect = roles.indirect;
}

int TRecordListModel::KeptColumn() const {
    return m_columns.empty() ? -1 : static_cast<int>(m_columns.size()) - 1;
}

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
    if (role == Qt::ForegroundRole && index.column() == KeptColumn() && m_indirect(row.record))
        return QGuiApplication::palette().color(QPalette::PlaceholderText);
    if (role == Qt::ToolTipRole) {
        QString tip = m_tip(row.record);
        if (!tip.isEmpty())
            return tip;
    }
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
