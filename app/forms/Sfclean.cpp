#include "Sfclean.h"

#include "Apputil.h"
#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "CxDateTime.h"
#include "CxDebugUtil.h"
#include "DupMatch.h"
#include "EventTimeText.h"
#include "FormUtil.h"
#include "Main.h"
#include "MessageBox.h"
#include "SFRecords.h"
#include "WorkRunner.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr size_t kPathCapacity = 260;
constexpr int kStartDelayMs = 1000;
// Gives the wait window time to show before the first helper starts.
constexpr std::chrono::milliseconds kWaitWindowPause(200);
constexpr int kRuleLength = 80;
constexpr int kTabSpaces = 8;
constexpr qreal kMinLogPointSize = 6.0;

const char kHeading[] = "Start deleting duplicate records ...";
const char kFinished[] = "Deleting duplicates finished:";
const char kSubmitting[] = "Submitting deletion information to salesforce database...";
const char kSucceeded[] = "Deletion succeeded.";
const char kFailed[] = "Deletion failed.";
const char kNoDataFolder[] = "Can not find the data folder; nothing was submitted to salesforce.";
const char kEmptyValue[] = "<empty>";
const char kNothingDeleted[] = "Nothing was deleted in salesforce for %s: %s";
const char kNoFolderReason[] = "Can not find the data folder.";
const char kUndoCaption[] = "&Undo Deletion";
const char kUndoQuestion[] = "Restore the %d records deleted in this run from the recycle bin?";
const char kRestoring[] = "Restoring the deleted records from the salesforce recycle bin...";

using TLogFields = std::vector<std::pair<const char*, std::string>>;

// A fixed-capacity record text; stops at the capacity should the terminator
// be missing.
template <size_t N> std::string Text(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

std::string EventTime(double value, bool allDay) {
    return EventTimeText(value, allDay).toStdString();
}

std::string DateText(double value) {
    char buf[32] = {};
    DateToText(value, buf, sizeof(buf));
    return buf;
}

void AddrFields(const void* record, TLogFields& fields) {
    const auto& r = *static_cast<const SFAddrRec*>(record);
    fields = {{"Name", Text(r.Name)},
              {"Department", Text(r.Department)},
              {"Title", Text(r.Title)},
              {"Email", Text(r.Email)},
              {"Phone", Text(r.Phone)}};
}

void DateFields(const void* record, TLogFields& fields) {
    const auto& r = *static_cast<const SFDateRec*>(record);
    char allDay[8] = {};
    YesNoText(r.AllDayEvent ? 1 : 0, allDay);
    fields = {{"Subject", Text(r.Subject)},
              {"Location", Text(r.Location)},
              {"Start Time", EventTime(r.StartTime, r.AllDayEvent)},
              {"End Time", EventTime(r.EndTime, r.AllDayEvent)},
              {"All Day Event", allDay}};
}

void TaskFields(const void* record, TLogFields& fields) {
    const auto& r = *static_cast<const SFTaskRec*>(record);
    fields = {{"Subject", Text(r.Subject)},
              {"Priority", Text(r.Priority)},
              {"Due Date", DateText(r.DueDate)}};
}

// A note record carries no text of its own.
void NoteFields(const void* /*record*/, TLogFields& fields) {
    fields = {{"Note Text", std::string()}};
}

template <class TRec> uint32_t FlagsOf(const void* record) {
    return static_cast<const TRec*>(record)->Flags;
}

template <class TUtil, TUtil* TCrmData::*Util> CxSFBaseUtil* UtilOf() {
    return CrmData.*Util;
}

// Marks the record's entry deleted (not submitted yet); true only when the
// record itself now carries the delete action.
template <class TUtil, TUtil* TCrmData::*Util> bool MarkRecord(void* record) {
    TUtil* util = CrmData.*Util;
    auto* rec = static_cast<typename TUtil::Record*>(record);
    return util && util->MarkDeleted(rec->Entry, false) && rec->ChangeAction == kChangeActionDelete;
}

} // namespace

// What differs between the four kinds; everything else is shared.
struct TCleanKind {
    int nMask;
    const char* pszWord; // as in the totals and the submission lines
    const char* pszFirstLine;
    const char* pszStatusFile;
    int32_t TfmSFClean::*pCounter;
    CxList* TCrmData::*pDupList;
    CxSFBaseUtil* (*Util)();
    uint32_t (*Flags)(const void* record);
    void (*Fields)(const void* record, TLogFields& fields);
    bool (*Mark)(void* record);
};

namespace {

const TCleanKind kKinds[] = {
    {rkAddr, "contact", "Deleting contact item ...", "SFAddrStatus.dat", &TfmSFClean::AddrDeleted,
     &TCrmData::AddrDupList, UtilOf<CxSFAddrUtil, &TCrmData::AddrUtil>, FlagsOf<SFAddrRec>,
     AddrFields, MarkRecord<CxSFAddrUtil, &TCrmData::AddrUtil>},
    {rkDate, "calendar", "Deleting calendar item ...", "SFDateStatus.dat", &TfmSFClean::DateDeleted,
     &TCrmData::DateDupList, UtilOf<CxSFDateUtil, &TCrmData::DateUtil>, FlagsOf<SFDateRec>,
     DateFields, MarkRecord<CxSFDateUtil, &TCrmData::DateUtil>},
    {rkTask, "task", "Deleting todo or opportunity item ...", "SFTaskStatus.dat",
     &TfmSFClean::TaskDeleted, &TCrmData::TaskDupList, UtilOf<CxSFTaskUtil, &TCrmData::TaskUtil>,
     FlagsOf<SFTaskRec>, TaskFields, MarkRecord<CxSFTaskUtil, &TCrmData::TaskUtil>},
    {rkNote, "note", "Deleting note item ...", "SFNoteStatus.dat", &TfmSFClean::NoteDeleted,
     &TCrmData::NoteDupList, UtilOf<CxSFNoteUtil, &TCrmData::NoteUtil>, FlagsOf<SFNoteRec>,
     NoteFields, MarkRecord<CxSFNoteUtil, &TCrmData::NoteUtil>},
};
const TCleanKind& kAddr = kKinds[0];
const TCleanKind& kDate = kKinds[1];
const TCleanKind& kTask = kKinds[2];
const TCleanKind& kNote = kKinds[3];

// The kind as a failed submission's message names it.
const char* KindName(const TCleanKind& kind) {
    switch (kind.nMask) {
    case rkAddr:
        return "contacts";
    case rkDate:
        return "calendar events";
    case rkTask:
        return "tasks";
    default:
        return "notes";
    }
}

bool IsChosen(const TCleanKind& kind) {
    return (AppSettings.AppFlag & kind.nMask) != 0;
}

std::string Format(const char* format, const char* a, const char* b) {
    const int len = std::snprintf(nullptr, 0, format, a, b);
    if (len <= 0)
        return std::string();
    std::string out(static_cast<size_t>(len) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, a, b);
    out.resize(static_cast<size_t>(len));
    return out;
}

// One kind to submit, and what its submission gave.
struct TSubmission {
    TSubmission(const TCleanKind* kind, CxSFBaseUtil* util) : pKind(kind), pUtil(util) {}

    const TCleanKind* pKind;
    CxSFBaseUtil* pUtil;
    bool bDone = false;
    bool bSubmitted = false;
    bool bHasError = false;
    std::string sError;
    int32_t nDeleted = -1; // records the helper reported deleted; -1: not said
    std::string sResultsFile;
    std::string sBackupFile;
    std::string sFirstError;
    int32_t nErrorCount = 0;
};

// Runs on the worker thread: touches the exchange objects and the wait
// window only. False when the data folder is missing (nothing is submitted).
bool SubmitAll(std::vector<TSubmission>& submissions) {
    std::this_thread::sleep_for(kWaitWindowPause);
    char folder[kPathCapacity] = {};
    if (!GetDataFolder(folder)) {
        DEBUG_LOG(LOG_CRITICAL, "%s", kNoDataFolder);
        return false;
    }
    for (TSubmission& s : submissions) {
        SetWaitStatusFileIn(folder, s.pKind->pszStatusFile);
        s.bSubmitted = s.pUtil->Submit();
        s.bHasError = s.pUtil->HasError();
        s.sError = s.pUtil->GetLastError();
        s.nDeleted = s.pUtil->GetDeletedCount();
        s.sFirstError = s.pUtil->GetFirstError();
        s.nErrorCount = s.pUtil->GetErrorCount();
        s.sResultsFile = s.pUtil->GetResultsFile();
        s.sBackupFile = s.pUtil->GetBackupFile();
        s.bDone = true;
    }
    return true;
}

// The log lines of one kind's submission of marked records.
std::vector<std::string> OutcomeLines(const TSubmission& s, int32_t marked) {
    const char* word = s.pKind->pszWord;
    std::vector<std::string> lines;
    char line[160];
    if (!s.bSubmitted) {
        lines.push_back(
            Format("Submitting %s deletions to salesforce failed: %s", word, s.sError.c_str()));
    } else {
        // What the org really did, when the helper says it differs from what was asked.
        if (s.nDeleted >= 0 && s.nDeleted != marked) {
            std::snprintf(line, sizeof(line),
                          "%d of %d %s deletions were carried out in salesforce.",
                          static_cast<int>(s.nDeleted), static_cast<int>(marked), word);
            lines.push_back(line);
        } else if (!s.bHasError) {
            std::snprintf(line, sizeof(line), "%d %s deletions submitted to salesforce.",
                          static_cast<int>(marked), word);
            lines.push_back(line);
        }
        // The error file keeps at most a hundred entries: the count of records that
        // failed comes from the helper's report, the reason from the first entry.
        if (s.bHasError) {
            const int32_t failed =
                s.nDeleted >= 0 && marked > s.nDeleted ? marked - s.nDeleted : s.nErrorCount;
            const std::string& first = s.sFirstError.empty() ? s.sError : s.sFirstError;
            if (failed > 1)
                lines.push_back(Format("Salesforce reported errors for the %s deletions: %s", word,
                                       (std::to_string(failed) +
                                        " records were not deleted; the first error: " + first)
                                           .c_str()));
            else
                lines.push_back(Format("Salesforce reported errors for the %s deletions: %s", word,
                                       first.c_str()));
        }
    }
    if (!s.sResultsFile.empty())
        lines.push_back("The outcome of every record is in " + s.sResultsFile + ".");
    if (!s.sBackupFile.empty())
        lines.push_back("A backup of the deleted records is in " + s.sBackupFile + ".");
    return lines;
}

// One kind's undo, run on the worker thread, and what it gave.
struct TUndoRun {
    TUndoRun(const TCleanKind* kind, CxSFBaseUtil* util, std::string resultsFile, int32_t deleted)
        : pKind(kind), pUtil(util), sResultsFile(std::move(resultsFile)), nDeleted(deleted) {}

    const TCleanKind* pKind;
    CxSFBaseUtil* pUtil;
    std::string sResultsFile;
    int32_t nDeleted;
    bool bDone = false;
    bool bRan = false;
    bool bHasError = false;
    int32_t nRestored = -1;
    int32_t nRequested = -1;
    int32_t nErrorCount = 0;
    std::string sError;
    std::string sFirstError;
};

// Runs on the worker thread: touches the exchange objects and the wait window only.
bool UndoAll(std::vector<TUndoRun>& runs) {
    std::this_thread::sleep_for(kWaitWindowPause);
    char folder[kPathCapacity] = {};
    if (!GetDataFolder(folder))
        return false;
    for (TUndoRun& r : runs) {
        SetWaitStatusFileIn(folder, r.pKind->pszStatusFile);
        r.bRan = r.pUtil->Undelete(r.sResultsFile.c_str());
        r.bHasError = r.pUtil->HasError();
        r.nRestored = r.pUtil->GetRestoredCount();
        r.nRequested = r.pUtil->GetRequestedCount();
        r.nErrorCount = r.pUtil->GetErrorCount();
        r.sError = r.pUtil->GetLastError();
        r.sFirstError = r.pUtil->GetFirstError();
        r.bDone = true;
    }
    return true;
}

// The log line of one kind's undo.
std::string UndoLine(const TUndoRun& r) {
    const char* word = r.pKind->pszWord;
    if (!r.bRan)
        return Format("Undoing the %s deletions in salesforce failed: %s", word, r.sError.c_str());
    const int32_t asked = r.nRequested >= 0 ? r.nRequested : r.nDeleted;
    const int32_t restored = r.nRestored >= 0 ? r.nRestored : (r.bHasError ? 0 : asked);
    char line[160];
    std::snprintf(line, sizeof(line), "%d %s deletions undone in salesforce.",
                  static_cast<int>(restored), word);
    if (!r.bHasError)
        return line;
    const int32_t failed = asked > restored ? asked - restored : r.nErrorCount;
    std::string text(line);
    text.pop_back();
    const std::string& first = r.sFirstError.empty() ? r.sError : r.sFirstError;
    return text + "; " + std::to_string(failed) + " could not be restored: " + first;
}

} // namespace

TfmSFClean::TfmSFClean(QWidget* parent)
    : QWidget(parent), memLog(nullptr), pbDel(nullptr), tmStart(nullptr), AddrDeleted(0),
      DateDeleted(0), TaskDeleted(0), NoteDeleted(0), TotalToDelete(0), Processed(0) {
    setObjectName("fmSFClean");

    memLog = new QPlainTextEdit(this);
    memLog->setObjectName("memLog");
    memLog->setReadOnly(true);
    memLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The rule fits the log's width (FitLogFont); longer lines scroll.
    memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FitLogFont();

    pbDel = new QProgressBar(this);
    pbDel->setObjectName("pbDel");
    pbDel->setRange(0, 100);
    pbDel->setValue(0);
    pbDel->setTextVisible(true);

    btnUndo = new QPushButton(Utf8(kUndoCaption), this);
    btnUndo->setObjectName("btnUndo");
    btnUndo->hide();
    connect(btnUndo, &QPushButton::clicked, this, &TfmSFClean::btnUndoClick);

    tmStart = new QTimer(this);
    tmStart->setObjectName("tmStart");
    tmStart->setSingleShot(true);
    tmStart->setInterval(kStartDelayMs);
    connect(tmStart, &QTimer::timeout, this, &TfmSFClean::tmStartTimer);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(24, 18, 24, 14);
    page->setSpacing(10);
    page->addWidget(memLog, 1);
    auto* bar = new QHBoxLayout;
    bar->setSpacing(10);
    bar->addWidget(pbDel, 1);
    bar->addWidget(btnUndo);
    page->addLayout(bar);
}

bool TfmSFClean::UpdateData(bool leaving) {
    if (leaving)
        return true;
    memLog->clear();
    AddLogLine(kHeading);
    AddLogLine(std::string(kRuleLength, '='));
    AddLogLine("");
    AddrDeleted = 0;
    DateDeleted = 0;
    TaskDeleted = 0;
    NoteDeleted = 0;
    tmStart->start();
    pbDel->setValue(0);
    OfferUndo({});
    return true;
}

void TfmSFClean::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitLogFont();
}

void TfmSFClean::FitLogFont() {
    // The text area: the log less its frame, its vertical scroll bar, the
    // document's margins and room for the cursor.
    const int available = memLog->width() - 2 * memLog->frameWidth() -
                          memLog->verticalScrollBar()->sizeHint().width() -
                          2 * static_cast<int>(memLog->document()->documentMargin()) - 4;
    const QString rule(kRuleLength, QLatin1Char('='));
    QFont font = QApplication::font(memLog);
    qreal size = font.pointSizeF();
    while (size > kMinLogPointSize &&
           QFontMetricsF(font).horizontalAdvance(rule) > static_cast<qreal>(available)) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    if (font != memLog->font())
        memLog->setFont(font);
    // Field lines are indented by one tab: eight spaces wide.
    memLog->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) *
                               kTabSpaces);
}

void TfmSFClean::StopPendingRun() {
    tmStart->stop();
    OfferUndo({});
}

void TfmSFClean::OfferUndo(std::vector<TUndoKind> kinds) {
    m_undo = std::move(kinds);
    btnUndo->setVisible(!m_undo.empty());
}

void TfmSFClean::btnUndoClick() {
    if (m_undo.empty())
        return;
    int64_t total = 0;
    for (const TUndoKind& k : m_undo)
        total += k.nDeleted;
    char question[160];
    std::snprintf(question, sizeof(question), kUndoQuestion, static_cast<int>(total));
    if (ShowMessageBox(this, question, "Confirmation", MessageIcon::Question,
                       MessageButtons::YesNo) != mrYes)
        return;

    std::vector<TUndoRun> runs;
    for (const TUndoKind& k : m_undo)
        if (CxSFBaseUtil* util = k.pKind->Util())
            runs.emplace_back(k.pKind, util, k.sResultsFile, k.nDeleted);
    const bool haveFolder =
        RunWithWaitWindow(parentWidget(), kRestoring, [&runs] { return UndoAll(runs); });
    if (!haveFolder) {
        AddLogLine("Can not find the data folder; nothing was restored in salesforce.");
        return;
    }
    // A kind whose helper ran to its end is done: what failed there (a
    // record no longer in the recycle bin) will not come back by asking again.
    std::vector<TUndoKind> left;
    for (const TUndoRun& r : runs) {
        if (!r.bDone)
            continue;
        AddLogLine(UndoLine(r));
        if (!r.bRan)
            left.push_back({r.pKind, r.sResultsFile, r.nDeleted});
    }
    OfferUndo(std::move(left));
}

void TfmSFClean::tmStartTimer() {
    tmStart->stop();
    // A run due after the wizard left this step would delete what the user
    // backed out of.
    if (fmMain && fmMain->CurrentStep != 2)
        return;
    RunDeletion();
}

void TfmSFClean::RunDeletion() {
    TotalToDelete = 0;
    Processed = 0;
    int64_t total = 0;
    for (const TCleanKind& kind : kKinds)
        if (IsChosen(kind) && CrmData.*kind.pDupList)
            total += (CrmData.*kind.pDupList)->GetCount();
    TotalToDelete =
        static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));

    for (const TCleanKind& kind : kKinds)
        if (IsChosen(kind))
            DeleteDups(kind);

    AddLogLine(std::string(kRuleLength, '='));
    AddLogLine(kFinished);
    char line[128];
    for (const TCleanKind& kind : kKinds) {
        std::snprintf(line, sizeof(line), "\t%d duplicate %s items deleted.",
                      static_cast<int>(this->*kind.pCounter), kind.pszWord);
        AddLogLine(line);
    }
    AddLogLine("");

    SubmitDeletions();
}

void TfmSFClean::SubmitDeletions() {
    std::vector<TSubmission> submissions;
    for (const TCleanKind& kind : kKinds) {
        CxSFBaseUtil* util = kind.Util();
        if (IsChosen(kind) && this->*kind.pCounter > 0 && util)
            submissions.emplace_back(&kind, util);
    }

    const bool haveFolder = RunWithWaitWindow(parentWidget(), kSubmitting,
                                              [&submissions] { return SubmitAll(submissions); });

    if (!haveFolder && !submissions.empty())
        AddLogLine(kNoDataFolder);
    std::string failures;
    std::vector<TUndoKind> undo;
    for (const TSubmission& s : submissions) {
        if (s.bDone)
            for (const std::string& line : OutcomeLines(s, this->*s.pKind->pCounter))
                AddLogLine(line);
        if (!s.bDone || !s.bSubmitted) {
            const std::string reason = s.bDone ? s.sError : std::string(kNoFolderReason);
            if (!failures.empty())
                failures += "\n";
            failures += Format(kNothingDeleted, KindName(*s.pKind), reason.c_str());
        }
        if (s.bDone && s.nDeleted > 0 && !s.sResultsFile.empty())
            undo.push_back({s.pKind, s.sResultsFile, s.nDeleted});
    }
    pbDel->setValue(100);
    OfferUndo(std::move(undo));
    // The log above reads as success up to its last lines: a failure is said aloud.
    if (!failures.empty())
        ShowMessageBox(this, failures.c_str(), "Error", MessageIcon::Error, MessageButtons::OK);
}

void TfmSFClean::DeleteDups(const TCleanKind& kind) {
    CxList* list = CrmData.*kind.pDupList;
    if (!list)
        return;
    // Taken first: the list's one cursor is not ours to keep.
    std::vector<void*> records;
    records.reserve(list->GetCount());
    for (void* item = list->GetFirst(); item; item = list->GetNext())
        records.push_back(item);
    for (void* record : records) {
        DeleteItem(kind, record);
        ++Processed;
        if (TotalToDelete > 0)
            pbDel->setValue(
                static_cast<int>(static_cast<int64_t>(Processed) * 100 / TotalToDelete));
    }
}

void TfmSFClean::DeleteItem(const TCleanKind& kind, void* record) {
    if (!record || (kind.Flags(record) & mkDelete) == 0)
        return;
    AddLogLine(kind.pszFirstLine);
    TLogFields fields;
    kind.Fields(record, fields);
    std::string line;
    for (const auto& [label, value] : fields) {
        FormatLogField(&line, 1, label, value.c_str());
        AddLogLine(line);
    }
    if (kind.Mark(record)) {
        AddLogLine(kSucceeded);
        ++(this->*kind.pCounter);
    } else {
        AddLogLine(kFailed);
    }
    AddLogLine("");
}

void TfmSFClean::DeleteAddrDups() {
    DeleteDups(kAddr);
}
void TfmSFClean::DeleteDateDups() {
    DeleteDups(kDate);
}
void TfmSFClean::DeleteTaskDups() {
    DeleteDups(kTask);
}
void TfmSFClean::DeleteNoteDups() {
    DeleteDups(kNote);
}

void TfmSFClean::DeleteAddrItem(SFAddrRec* record) {
    DeleteItem(kAddr, record);
}
void TfmSFClean::DeleteDateItem(SFDateRec* record) {
    DeleteItem(kDate, record);
}
void TfmSFClean::DeleteTaskItem(SFTaskRec* record) {
    DeleteItem(kTask, record);
}
void TfmSFClean::DeleteNoteItem(SFNoteRec* record) {
    DeleteItem(kNote, record);
}

void TfmSFClean::AddLogLine(const char* text) {
    memLog->appendPlainText(Utf8(text));
}

void TfmSFClean::FormatLogField(std::string* out, int indent, const char* label,
                                const char* value) {
    if (!out || !label || !label[0])
        return;
    out->assign(indent > 0 ? static_cast<size_t>(indent) : 0, '\t');
    out->append(label);
    out->append(": ");
    out->append(value && value[0] ? value : kEmptyValue);
}
