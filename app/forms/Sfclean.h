// The clean-up page, step 2 of the wizard: one second after it is shown it
// marks every ticked duplicate as deleted in its exchange object, writes a
// readable log of each record, and then submits the deletions of each kind
// to salesforce under the wait window.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
struct SFAddrRec;
struct SFDateRec;
struct SFNoteRec;
struct SFTaskRec;
struct TCleanKind;

class TfmSFClean : public QWidget {
    Q_OBJECT
public:
    explicit TfmSFClean(QWidget* parent);

    // leaving false: empties the log, writes its heading, resets the counters
    // and the progress bar and starts the one-second timer that runs the
    // deletion. leaving true: nothing to take. Always true.
    bool UpdateData(bool leaving);

    // Cancels a run that the timer has not started yet and withdraws the offer
    // to undo the last run; the wizard calls it whenever it leaves this step.
    void StopPendingRun();

    // The whole run: marks and logs the ticked duplicates of every chosen kind,
    // writes the totals, submits each kind with marks under the wait window
    // (on a worker thread) and logs each submission's outcome.
    void RunDeletion();

    // Walk one kind's duplicate list: each item is logged and marked when it is
    // ticked, and every item walked moves the progress bar.
    void DeleteAddrDups();
    void DeleteDateDups();
    void DeleteTaskDups();
    void DeleteNoteDups();

    // One record: nothing for a null or unticked record; otherwise its log
    // block and its deletion mark, counted when the mark took.
    void DeleteAddrItem(SFAddrRec* record);
    void DeleteDateItem(SFDateRec* record);
    void DeleteTaskItem(SFTaskRec* record);
    void DeleteNoteItem(SFNoteRec* record);

    // Appends text (UTF-8) as a new line of memLog; an empty or null text is a
    // blank line.
    void AddLogLine(const char* text);
    void AddLogLine(const std::string& text) { AddLogLine(text.c_str()); }

    // "<indent tabs><label>: <value>" into out, "<empty>" standing for a null
    // or empty value. Nothing happens when out is null or label null or empty.
    static void FormatLogField(std::string* out, int indent, const char* label, const char* value);

    QPlainTextEdit* memLog;
    QProgressBar* pbDel;
    // Offered after a run that deleted records: restores them from the recycle bin.
    QPushButton* btnUndo;
    QTimer* tmStart;

    // Records marked deleted in this run, per kind.
    int32_t AddrDeleted;
    int32_t DateDeleted;
    int32_t TaskDeleted;
    int32_t NoteDeleted;
    // Items of the chosen kinds' duplicate lists when the run started, and
    // how many of them were walked so far.
    int32_t TotalToDelete;
    int32_t Processed;

public slots:
    // Fires once: the wizard must still show this step.
    void tmStartTimer();
    // Asks, then lets the helper of each kind restore the records this run
    // deleted (as its results file names them) and logs a line per kind.
    void btnUndoClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The log's font, smaller than the desktop's when need be, so that the
    // rule of "=" fits the log's width without scrolling.
    void FitLogFont();

    // A kind whose deletions of the last run can still be undone.
    struct TUndoKind {
        const TCleanKind* pKind;
        std::string sResultsFile;
        int32_t nDeleted;
    };
    std::vector<TUndoKind> m_undo;
    void OfferUndo(std::vector<TUndoKind> kinds);

    void DeleteDups(const TCleanKind& kind);
    void DeleteItem(const TCleanKind& kind, void* record);
    // The submissions, their outcome lines and the full progress bar.
    void SubmitDeletions();
};
