// The wizard window: a header with the step text, the three pages in the
// middle (access, review, clean-up) and the wizard's buttons at the bottom.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class TBanner;
class TLinkLabel;
class TfmSFClean;
class TfmSFData;
class TfmSFSource;

class TfmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 794;
    static constexpr int kClientHeight = 594;
    static constexpr int kTopHeight = 113;
    static constexpr int kBottomHeight = 54;

    // Becomes fmMain at once and runs FormCreate.
    explicit TfmMain(QWidget* parent = nullptr);
    // Runs FormDestroy; fmMain is null afterwards.
    ~TfmMain() override;

    // The loaded data (see CrmData.h). LoadCrmData does no widget work, so it
    // may run on a worker thread.
    bool LoadCrmData();
    void FreeCrmData();

    // Moves to step 0, 1 or 2, running the pages' leave and enter work; the
    // step stays when a page refuses. Other steps are ignored.
    void GoToStep(int step);
    // Buttons, captions, the visible page and the step text from CurrentStep.
    void UpdateStepView();
    void CreatePages();
    void FreePages();

    TBanner* pTop;
    QLabel* imgLogo;
    TLinkLabel* Label1;
    QLabel* lblStep;
    QWidget* pClient;
    QWidget* pBottom;
    QPushButton* btnHelp;
    QPushButton* btnDebug;
    QPushButton* btnPrev;
    QPushButton* btnNext;
    QPushButton* btnCancel;

    // The step shown; changed by GoToStep only.
    int32_t CurrentStep;

public slots:
    void btnNextClick();
    void btnPrevClick();
    void btnCancelClick();
    void btnHelpClick();
    void btnDebugClick();

protected:
    // Refused while blocking work runs; otherwise the window closes and, being
    // deleted on close, ends the program through FormDestroy.
    void closeEvent(QCloseEvent* event) override;
    // Enter presses the focused push button, else Next (the default button).
    void keyPressEvent(QKeyEvent* event) override;
    // Notes on which page Next or Prev was pressed.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void BuildControls();
    // Puts the focus where the shown step begins: the review list, the
    // clean-up log, or on the access page the user name at start and its
    // first empty field on returning to it.
    void FocusStep(bool returning);
    // False for a click whose press was made before the shown page appeared:
    // a step change asked for on a page the user no longer sees.
    bool TakePress(QObject* button);

    // Counts the pages shown; a press of Next or Prev keeps the count of its page.
    uint32_t m_nPagesShown = 0;
    uint32_t m_nNextPressedOn = 0;
    uint32_t m_nPrevPressedOn = 0;
    static constexpr uint32_t kNotPressed = 0;
};

// The one wizard window; null before it is created and after it is destroyed.
extern TfmMain* fmMain;
// The program's module handle, recorded when the wizard window is created.
extern void* AppInstance;
// The pages, owned by the wizard window.
extern TfmSFSource* SourcePage;
extern TfmSFData* DataPage;
extern TfmSFClean* CleanPage;

// Sets the step text of the window's header (UTF-8); a null window does nothing.
void SetStepText(TfmMain* window, const char* text);

// While a hook is set, TfmMain::LoadCrmData calls it instead of loading, so
// that window tests can follow the wizard without helper programs.
void SetLoadCrmDataHook(std::function<bool()> hook);
