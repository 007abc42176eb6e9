#include "Main.h"

#include "Apputil.h"
#include "Banner.h"
#include "CrmData.h"
#include "CxCommWaitWindowQt.h"
#include "CxDebugUtil.h"
#include "CxText.h"
#include "Debugger.h"
#include "FormUtil.h"
#include "LinkLabel.h"
#include "Links.h"
#include "RecordListView.h"
#include "Sfclean.h"
#include "Sfdata.h"
#include "Sfsource.h"
#include "WinUtil.h"
#include "WorkRunner.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <utility>

TfmMain* fmMain = nullptr;
void* AppInstance = nullptr;
TfmSFSource* SourcePage = nullptr;
TfmSFData* DataPage = nullptr;
TfmSFClean* CleanPage = nullptr;

namespace {

constexpr size_t kPathCapacity = 260;
constexpr int kLogoSize = 64;

const char kCaption[] = "Tessmark - Remove Duplicates in salesforce CRM";

struct TStepView {
    bool bPrevEnabled;
    bool bNextEnabled;
    const char* pszCancel;
    const char* pszPrev;
    const char* pszStep;
};

const TStepView kStepViews[] = {
    {false, true, "&Cancel", "< &Prev",
     "Please select enter your salesforce CRM data access information"},
    {true, true, "&Cancel", "< &Prev",
     "Please select the duplicate items that you want to delete."},
    {true, false, "&Finish", "< &Restart", "Deleting duplicate items now."},
};
constexpr int kStepCount = sizeof(kStepViews) / sizeof(kStepViews[0]);

std::mutex g_loadHookMutex;
std::function<bool()> g_loadHook;

// The debug log goes to the data folder. Without one it goes to the program
// folder and says why; the settings are then neither read nor saved.
void ConfigureDebugLog(const char* dataFolder, const std::string& why) {
    char folder[kPathCapacity] = {};
    if (dataFolder)
        CopyText(folder, dataFolder);
    else if (!GetModuleFolder(nullptr, folder, sizeof(folder)))
        CopyText(folder, "./");
    DebugLog.SetLogFolder(folder);
    DebugLog.EnableLog(AppSettings.EnableDebug);
    DebugLog.SetLogLevel(AppSettings.LogLevel);
    if (!dataFolder) {
        std::fprintf(stderr,
                     "Tessmark: %s The settings are neither read nor saved; debug log folder: "
                     "%s\n",
                     why.c_str(), folder);
        DEBUG_LOG(LOG_CRITICAL, "%s The settings are neither read nor saved; debug log folder: %s",
                  why.c_str(), folder);
    }
}

} // namespace

void SetStepText(TfmMain* window, const char* text) {
    if (window && window->lblStep)
        window->lblStep->setText(Utf8(text));
}

void SetLoadCrmDataHook(std::function<bool()> hook) {
    std::lock_guard<std::mutex> lock(g_loadHookMutex);
    g_loadHook = std::move(hook);
}

TfmMain::TfmMain(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      pTop(nullptr), imgLogo(nullptr), Label1(nullptr), lblStep(nullptr), pClient(nullptr),
      pBottom(nullptr), btnHelp(nullptr), btnDebug(nullptr), btnPrev(nullptr), btnNext(nullptr),
      btnCancel(nullptr), CurrentStep(0) {
    // Set first, so that everything FormCreate starts finds the window.
    fmMain = this;
    setObjectName("fmMain");
    setWindowTitle(Utf8(kCaption));
    setFixedSize(kClientWidth, kClientHeight);
    // Closing the window destroys it, which ends the program the normal way.
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
    CenterOnDesktop(this);
    try {
        FormCreate();
    } catch (...) {
        // No destructor runs for this window: nothing may point to it.
        FreePages();
        ::FreeCrmData();
        if (fmMain == this)
            fmMain = nullptr;
        throw;
    }
}

TfmMain::~TfmMain() {
    FormDestroy();
    if (fmMain == this)
        fmMain = nullptr;
}

void TfmMain::BuildControls() {
    pTop = new TBanner(this, "Label1", kTopHeight, kLogoSize);
    pTop->setObjectName("pTop");
    imgLogo = pTop->imgLogo;
    Label1 = pTop->lblTitle;
    lblStep = new QLabel(pTop);
    lblStep->setObjectName("lblStep");
    QFont stepFont = lblStep->font();
    stepFont.setPixelSize(13);
    lblStep->setFont(stepFont);
    pTop->AddLine(lblStep);

    pClient = new QWidget(this);
    pClient->setObjectName("pClient");
    auto* pages = new QVBoxLayout(pClient);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(0);

    auto* rule = new QFrame(this);
    rule->setObjectName("bvlBottom");
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    pBottom = new QWidget(this);
    pBottom->setObjectName("pBottom");
    pBottom->setFixedHeight(kBottomHeight);
    btnHelp = NewButton(pBottom, "btnHelp", "&Help", 100, false);
    btnDebug = NewButton(pBottom, "btnDebug", "&Troubleshooting", 100, false);
    btnPrev = NewButton(pBottom, "btnPrev", kStepViews[0].pszPrev, 100, false);
    btnNext = NewButton(pBottom, "btnNext", "&Next  >", 100, false);
    btnCancel = NewButton(pBottom, "btnCancel", kStepViews[0].pszCancel, 100, false);
    auto* buttons = new QHBoxLayout(pBottom);
    buttons->setContentsMargins(14, 10, 14, 12);
    buttons->setSpacing(8);
    buttons->addWidget(btnHelp);
    buttons->addWidget(btnDebug);
    buttons->addStretch(1);
    buttons->addWidget(btnPrev);
    buttons->addWidget(btnNext);
    buttons->addSpacing(12);
    buttons->addWidget(btnCancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(pTop);
    column->addWidget(pClient, 1);
    column->addWidget(rule);
    column->addWidget(pBottom);

    // Enter presses Next wherever the focus is but on another push button.
    btnNext->setDefault(true);
    btnNext->installEventFilter(this);
    btnPrev->installEventFilter(this);

    connect(btnHelp, &QPushButton::clicked, this, &TfmMain::btnHelpClick);
    connect(btnDebug, &QPushButton::clicked, this, &TfmMain::btnDebugClick);
    connect(btnPrev, &QPushButton::clicked, this, &TfmMain::btnPrevClick);
    connect(btnNext, &QPushButton::clicked, this, &TfmMain::btnNextClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmMain::btnCancelClick);
}

void TfmMain::FormCreate() {
    if (!AppInstance)
        AppInstance = dlopen(nullptr, RTLD_LAZY);

    char folder[kPathCapacity] = {};
    std::string why;
    const bool haveFolder = BindSettingsFile(folder, why);
    LoadSettings();
    ConfigureDebugLog(haveFolder ? folder : nullptr, why);

    InstallQtWaitView();
    CreatePages();
    ::FreeCrmData();
    CurrentStep = 0;
    GoToStep(0);
}

void TfmMain::FormDestroy() {
    SaveSettings();
    ::FreeCrmData();
    FreePages();
}

bool TfmMain::LoadCrmData() {
    std::function<bool()> hook;
    {
        std::lock_guard<std::mutex> lock(g_loadHookMutex);
        hook = g_loadHook;
    }
    if (hook)
        return hook();
    return ::LoadCrmData();
}

void TfmMain::FreeCrmData() {
    ::FreeCrmData();
}

void TfmMain::CreatePages() {
    QLayout* pages = pClient->layout();
    SourcePage = new TfmSFSource(pClient);
    DataPage = new TfmSFData(pClient);
    CleanPage = new TfmSFClean(pClient);
    for (QWidget* page : {static_cast<QWidget*>(SourcePage), static_cast<QWidget*>(DataPage),
                          static_cast<QWidget*>(CleanPage)}) {
        page->hide();
        pages->addWidget(page);
    }
    // The keyboard order runs through the shown page first (the access page
    // begins with the user name), then the wizard's buttons.
    QWidget* last = previousInFocusChain();
    for (QWidget* button : {btnHelp, btnDebug, btnPrev, btnNext, btnCancel}) {
        setTabOrder(last, button);
        last = button;
    }
}

void TfmMain::FreePages() {
    delete SourcePage;
    SourcePage = nullptr;
    delete DataPage;
    DataPage = nullptr;
    delete CleanPage;
    CleanPage = nullptr;
}

void TfmMain::GoToStep(int step) {
    if (step < 0 || step >= kStepCount) {
        DEBUG_LOG(LOG_HIGH, "GoToStep: there is no step %d.", step);
        return;
    }
    if (CleanPage && step != 2)
        CleanPage->StopPendingRun();
    const int from = CurrentStep;
    if (step == 0) {
        if (SourcePage)
            SourcePage->UpdateData(false);
    } else if (step == 1) {
        if (CurrentStep < 1) {
            if (SourcePage && !SourcePage->UpdateData(true))
                return;
            if (DataPage)
                DataPage->UpdateData(false);
        }
    } else {
        if (DataPage && !DataPage->UpdateData(true))
            return;
        if (CleanPage)
            CleanPage->UpdateData(false);
    }
    CurrentStep = step;
    UpdateStepView();
    // Never 0 (kNotPressed), whatever the count.
    if (++m_nPagesShown == kNotPressed)
        ++m_nPagesShown;
    FocusStep(from != step);
}

void TfmMain::FocusStep(bool returning) {
    // The review list or the clean-up log: the hidden page's focus must not
    // fall onto a wizard button, where Enter or Space would press it.
    QWidget* pageFocus = nullptr;
    if (CurrentStep == 1 && DataPage && DataPage->pData->currentWidget())
        pageFocus = DataPage->pData->currentWidget()->findChild<TRecordListView*>();
    else if (CurrentStep == 2 && CleanPage)
        pageFocus = CleanPage->memLog;
    if (pageFocus) {
        pageFocus->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (CurrentStep != 0 || !SourcePage)
        return;
    QLineEdit* target = SourcePage->edtUserName;
    if (returning) {
        for (QLineEdit* field :
             {SourcePage->edtUserName, SourcePage->edtPassword, SourcePage->edtToken}) {
            if (field->isEnabled() && field->text().isEmpty()) {
                target = field;
                break;
            }
        }
    }
    target->setFocus(Qt::OtherFocusReason);
}

bool TfmMain::TakePress(QObject* button) {
    uint32_t& pressedOn = button == btnNext ? m_nNextPressedOn : m_nPrevPressedOn;
    const bool current = pressedOn == kNotPressed || pressedOn == m_nPagesShown;
    pressedOn = kNotPressed;
    if (!current)
        DEBUG_LOG(LOG_HIGH, "A click made before the page was shown is ignored.");
    return current;
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == btnNext || watched == btnPrev) &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress))
        (watched == btnNext ? m_nNextPressedOn : m_nPrevPressedOn) = m_nPagesShown;
    return QWidget::eventFilter(watched, event);
}

void TfmMain::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    QPushButton* button = focused ? focused : btnNext;
    if (button->isEnabled() && button->isVisible())
        button->click();
    event->accept();
}

void TfmMain::UpdateStepView() {
    if (CurrentStep < 0 || CurrentStep >= kStepCount)
        return;
    const TStepView& view = kStepViews[CurrentStep];
    btnPrev->setEnabled(view.bPrevEnabled);
    btnNext->setEnabled(view.bNextEnabled);
    btnCancel->setText(Utf8(view.pszCancel));
    btnPrev->setText(Utf8(view.pszPrev));
    lblStep->setText(Utf8(view.pszStep));
    QWidget* pages[] = {SourcePage, DataPage, CleanPage};
    for (int i = 0; i < kStepCount; ++i)
        if (pages[i])
            pages[i]->setVisible(i == CurrentStep);
}

void TfmMain::btnNextClick() {
    if (!TakePress(btnNext))
        return;
    GoToStep(CurrentStep + 1);
}

void TfmMain::btnPrevClick() {
    if (!TakePress(btnPrev))
        return;
    if (CurrentStep == 2)
        GoToStep(0);
    else
        GoToStep(CurrentStep - 1);
}

void TfmMain::btnCancelClick() {
    close();
}

void TfmMain::btnHelpClick() {
    OpenHelpPage(this);
}

void TfmMain::btnDebugClick() {
    ShowDebugDialog(fmMain);
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (IsWorkRunning()) {
        event->ignore();
        return;
    }
    event->accept();
}
