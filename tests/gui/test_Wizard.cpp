// The wizard window: start-up, the step machine with its buttons and texts, the
// end of the program, loading under the wait window and the crash handling.
#include "Application.h"
#include "Banner.h"
#include "CxCommWaitWindowQt.h"
#include "Debugger.h"
#include "Dump.h"
#include "Links.h"
#include "Sfclean.h"
#include "Sfdata.h"
#include "WizardSupport.h"
#include "WorkRunner.h"

#include <QCheckBox>
#include <QRadioButton>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace testsupport;

namespace {

const char kStep0Text[] = "Please select enter your salesforce CRM data access information";
const char kStep1Text[] = "Please select the duplicate items that you want to delete.";
const char kStep2Text[] = "Deleting duplicate items now.";
const char kLoadingText[] = "Loading salesforce information, please wait ...";
const char kRetrieveFailed[] = "Can not retrieve your salesforce information. Please make sure "
                               "that you entered the correct salesforce access options.";

struct StepView {
    int step;
    bool prevEnabled;
    bool nextEnabled;
    const char* prev;
    const char* cancel;
    const char* text;
};

// Number of "key=value" lines in the file.
int CountKeys(const std::string& text) {
    int keys = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? end : end - pos);
        if (!line.empty() && line[0] != '[' && line.find('=') != std::string::npos)
            ++keys;
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return keys;
}

class Wizard : public WizardTest {
protected:
    // Counts loads and lets them succeed (or not) without helper programs.
    void UseLoadHook(bool result) {
        SetLoadCrmDataHook([this, result] {
            ++loads;
            return result;
        });
    }

    void ReachStep(int step) {
        if (SourcePage->edtUserName->text().isEmpty())
            EnterCredentials();
        for (int i = fmMain->CurrentStep; i < step; ++i)
            fmMain->btnNext->click();
        ASSERT_EQ(step, fmMain->CurrentStep);
    }

    void ExpectView(const StepView& view) {
        EXPECT_EQ(view.step, fmMain->CurrentStep);
        EXPECT_EQ(view.prevEnabled, fmMain->btnPrev->isEnabled());
        EXPECT_EQ(view.nextEnabled, fmMain->btnNext->isEnabled());
        EXPECT_EQ(view.prev, fmMain->btnPrev->text().toStdString());
        EXPECT_EQ(view.cancel, fmMain->btnCancel->text().toStdString());
        EXPECT_EQ("&Next  >", fmMain->btnNext->text().toStdString());
        EXPECT_EQ(view.text, StepText());
        EXPECT_EQ(view.step == 0, SourcePage->isVisible());
        EXPECT_EQ(view.step == 1, DataPage->isVisible());
        EXPECT_EQ(view.step == 2, CleanPage->isVisible());
    }

    std::atomic<int> loads{0};
};

const StepView kViews[] = {
    {0, false, true, "< &Prev", "&Cancel", kStep0Text},
    {1, true, true, "< &Prev", "&Cancel", kStep1Text},
    {2, true, false, "< &Restart", "&Finish", kStep2Text},
};

TEST_F(Wizard, FirstStartShowsTheDefaultsAtStepZero) {
    ASSERT_FALSE(FileExists(SettingsPath()));
    OpenWizard();
    ASSERT_NE(nullptr, fmMain);

    EXPECT_EQ("Tessmark - Remove Duplicates in salesforce CRM",
              fmMain->windowTitle().toStdString());
    EXPECT_EQ(QSize(794, 594), fmMain->size());
    EXPECT_EQ(fmMain->minimumSize(), fmMain->maximumSize());
    EXPECT_EQ(113, fmMain->pTop->height());
    EXPECT_EQ(54, fmMain->pBottom->height());
    EXPECT_EQ("Tessmark", Child<QLabel>(fmMain, "Label1")->text().toStdString());
    EXPECT_NE(nullptr, Child<QLabel>(fmMain, "imgLogo"));
    EXPECT_EQ("&Help", fmMain->btnHelp->text().toStdString());
    EXPECT_EQ("&Troubleshooting", fmMain->btnDebug->text().toStdString());
    ExpectView(kViews[0]);

    // The settings defaults, as the access page shows them.
    EXPECT_TRUE(SourcePage->edtUserName->text().isEmpty());
    EXPECT_TRUE(SourcePage->edtPassword->text().isEmpty());
    EXPECT_TRUE(SourcePage->cbSaveUser->isChecked());
    EXPECT_FALSE(SourcePage->cbSavePassword->isChecked());
    EXPECT_TRUE(SourcePage->cbSaveToken->isChecked());
    EXPECT_TRUE(SourcePage->rbtnAddr->isChecked());
    EXPECT_TRUE(SourcePage->cbAddrContact->isEnabled());
    EXPECT_TRUE(SourcePage->cbAddrContact->isChecked());
    EXPECT_TRUE(SourcePage->cbAddrAccount->isChecked());
    EXPECT_TRUE(SourcePage->cbAddrLead->isChecked());

    // The pages fill the client panel.
    EXPECT_EQ(fmMain->pClient, SourcePage->parentWidget());
    EXPECT_EQ(fmMain->pClient->size(), SourcePage->size());
    EXPECT_NE(nullptr, AppInstance);
    EXPECT_EQ(nullptr, CrmData.AddrUtil);
}

TEST_F(Wizard, EveryStepShowsItsButtonsTextAndPage) {
    UseLoadHook(true);
    OpenWizard();
    for (const StepView& view : kViews) {
        SCOPED_TRACE(view.step);
        ReachStep(view.step);
        ExpectView(view);
    }
    EXPECT_EQ(1, loads.load());
}

TEST_F(Wizard, NextWithEmptyUserNameChangesNothing) {
    UseLoadHook(true);
    OpenWizard();
    EnterCredentials("", "secret", "token");
    MessageBoxRecorder boxes;
    fmMain->btnNext->click();

    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ("Invalid salesforce user name.", boxes.requests[0].text.toStdString());
    ExpectView(kViews[0]);
    EXPECT_EQ(0, loads.load());
    EXPECT_STREQ("", AppSettings.Password);
}

TEST_F(Wizard, PrevRunsNoValidationAndNoLoading) {
    UseLoadHook(true);
    OpenWizard();
    ReachStep(1);
    // Whatever the hidden page holds now is not checked on the way back.
    SourcePage->edtUserName->clear();
    fmMain->btnPrev->click();

    ExpectView(kViews[0]);
    EXPECT_EQ(1, loads.load());
    EXPECT_EQ("demo@example.com", SourcePage->edtUserName->text().toStdString());
}

TEST_F(Wizard, RestartReturnsToStepZeroWithTheLastEnteredValues) {
    UseLoadHook(true);
    OpenWizard();
    EnterCredentials("someone@example.com", "pw", "tok");
    SourcePage->rbtnDate->click();
    ReachStep(2);
    fmMain->btnPrev->click();

    ExpectView(kViews[0]);
    EXPECT_EQ("someone@example.com", SourcePage->edtUserName->text().toStdString());
    EXPECT_EQ("pw", SourcePage->edtPassword->text().toStdString());
    EXPECT_EQ("tok", SourcePage->edtToken->text().toStdString());
    EXPECT_TRUE(SourcePage->rbtnDate->isChecked());
    EXPECT_FALSE(SourcePage->cbAddrContact->isEnabled());
}

TEST_F(Wizard, NextIsOnlyAskedForAvailableSteps) {
    UseLoadHook(true);
    OpenWizard();
    ReachStep(2);
    fmMain->GoToStep(3);
    ExpectView(kViews[2]);
    fmMain->GoToStep(-1);
    ExpectView(kViews[2]);
}

// Every way of closing ends the program through the same end: the settings
// file is written whole, and fmMain is null once the window is gone.
struct CloseCase {
    const char* name;
    int step;
    bool useButton; // btnCancel ("&Cancel" / "&Finish") or the window's own close
};

class WizardClose : public Wizard, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(WizardClose, SavesEverySetting) {
    const CloseCase& c = GetParam();
    UseLoadHook(true);
    OpenWizard();
    if (c.step > 0)
        ReachStep(c.step);
    if (c.useButton)
        fmMain->btnCancel->click();
    else
        EXPECT_TRUE(fmMain->close());
    FlushDeletes();

    EXPECT_EQ(nullptr, fmMain);
    EXPECT_EQ(nullptr, SourcePage);
    EXPECT_EQ(nullptr, CrmData.AddrUtil);
    ASSERT_TRUE(FileExists(SettingsPath()));
    std::string text = ReadFileBytes(SettingsPath());
    EXPECT_NE(std::string::npos, text.find("[Tessmark]"));
    EXPECT_EQ(41, CountKeys(text));
    if (c.step > 0) {
        EXPECT_NE(std::string::npos, text.find("UserName=demo@example.com"));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardClose,
                         ::testing::Values(CloseCase{"CancelAtStart", 0, true},
                                           CloseCase{"CloseButtonAtStart", 0, false},
                                           CloseCase{"CancelAtReview", 1, true},
                                           CloseCase{"FinishAfterCleanUp", 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Wizard, StartUpReadsTheSettingsFileOfTheDataFolder) {
    std::filesystem::create_directories(home.DataFolder());
    WriteFileBytes(SettingsPath(), "[Tessmark]\nUserName=kept@example.com\nAppFlag=2\n"
                                   "EnableDebug=1\nLogLevel=1\n");
    OpenWizard();

    EXPECT_EQ(SettingsPath(), std::string(SettingsFile.GetPath()));
    EXPECT_EQ("kept@example.com", SourcePage->edtUserName->text().toStdString());
    EXPECT_TRUE(SourcePage->rbtnDate->isChecked());
    EXPECT_TRUE(DebugLog.IsEnabled());
    EXPECT_EQ(1, DebugLog.GetLogLevel());
    EXPECT_EQ(home.DataFolder() + "appdebug.log", DebugLog.GetLogPath());
}

// Without a data folder the log goes to the program folder and says why; the
// settings are neither read nor saved, in the program folder or elsewhere.
TEST_F(Wizard, WithoutDataFolderTheLogGoesToTheProgramFolderAndNoSettingsFileIsUsed) {
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    const std::string elsewhere = home.Home() + "elsewhere.ini";
    WriteFileBytes(elsewhere, "[Tessmark]\nUserName=elsewhere@example.com\n");
    SettingsFile.SetPath(elsewhere.c_str());
    char programFolder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, programFolder));
    const std::string log = std::string(programFolder) + "appdebug.log";
    const bool logExisted = FileExists(log);
    const std::string programIni = std::string(programFolder) + "velmora.ini";
    const bool programIniExisted = FileExists(programIni);
    const std::string programIniBefore = ReadFileBytes(programIni);
    OpenWizard();

    EXPECT_EQ(log, DebugLog.GetLogPath());
    std::string text = ReadFileBytes(log);
    EXPECT_NE(std::string::npos,
              text.find("The data folder can not be found: neither XDG_DATA_HOME nor HOME names "
                        "an absolute folder. The settings are neither read nor saved; debug log "
                        "folder: " +
                        std::string(programFolder)));
    EXPECT_STREQ("", SettingsFile.GetPath());
    EXPECT_EQ("", SourcePage->edtUserName->text().toStdString());
    ExpectView(kViews[0]);

    SourcePage->edtUserName->setText("typed@example.com");
    fmMain->btnCancel->click();
    FlushDeletes();
    EXPECT_EQ(nullptr, fmMain);
    EXPECT_EQ(ReadFileBytes(elsewhere), "[Tessmark]\nUserName=elsewhere@example.com\n");
    EXPECT_EQ(programIniExisted, FileExists(programIni));
    EXPECT_EQ(programIniBefore, ReadFileBytes(programIni));
    if (!logExisted)
        std::filesystem::remove(log);
}

TEST_F(Wizard, HelpOpensThePageBesideTheProgram) {
    OpenWizard();
    ShellOpenRecorder shell;
    fmMain->btnHelp->click();
    ASSERT_EQ(1u, shell.targets.size());
    char programFolder[260];
    ASSERT_TRUE(GetModuleFolder(nullptr, programFolder));
    EXPECT_EQ(std::string(programFolder) + kHelpFileName, shell.targets[0]);
}

TEST_F(Wizard, TroubleshootingOpensTheDebugOptionsOverTheWizard) {
    OpenWizard();
    QWidget* owner = nullptr;
    OnNextModal<TfmDebug>([&owner](TfmDebug* dialog) {
        owner = dialog->parentWidget();
        dialog->btnCancel->click();
    });
    fmMain->btnDebug->click();
    EXPECT_EQ(fmMain, owner);
}

// Loading runs on a worker thread while the UI thread shows the wait window
// modally, keeps handling events and refuses to close the wizard.
TEST_F(Wizard, LoadingRunsUnderTheModalWaitWindow) {
    OpenWizard();
    EnterCredentials();
    const std::thread::id uiThread = std::this_thread::get_id();
    std::atomic<bool> onWorker{false}, windowCurrent{false}, sampled{false};
    SetLoadCrmDataHook([&] {
        onWorker = std::this_thread::get_id() != uiThread;
        windowCurrent = GetCurrentWaitWindow() != nullptr;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!sampled && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    });

    bool modal = false, busyCursor = false, closeRefused = false, cancelIgnored = false;
    std::string stepText;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        TWaitWindowWidget* wait = LastQtWaitWidget();
        if (sampled || !wait || !wait->isVisible() || wait->Snapshot().nTicks < 2)
            return;
        modal = wait->windowModality() == Qt::ApplicationModal;
        busyCursor = QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        stepText = StepText();
        closeRefused = !fmMain->close();
        ClickWidget(fmMain->btnCancel);
        FlushDeletes();
        cancelIgnored = fmMain != nullptr && fmMain->isVisible();
        sampled = true;
    });
    probe.start(20);
    fmMain->btnNext->click();
    probe.stop();

    EXPECT_TRUE(onWorker);
    EXPECT_TRUE(windowCurrent);
    ASSERT_TRUE(sampled);
    EXPECT_TRUE(modal);
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(kLoadingText, stepText);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(cancelIgnored);

    ASSERT_NE(nullptr, fmMain);
    ExpectView(kViews[1]);
    EXPECT_EQ(nullptr, QApplication::overrideCursor());
    EXPECT_EQ(nullptr, GetCurrentWaitWindow());
    ASSERT_NE(nullptr, LastQtWaitWidget());
    EXPECT_FALSE(LastQtWaitWidget()->isVisible());
    // Once the work is over, the wizard closes again.
    EXPECT_TRUE(fmMain->close());
}

TEST_F(Wizard, FailedLoadStaysAtStepZeroWithTheRetrievalMessage) {
    UseLoadHook(false);
    OpenWizard();
    EnterCredentials();
    MessageBoxRecorder boxes;
    fmMain->btnNext->click();

    ASSERT_EQ(1u, boxes.requests.size());
    const MessageBoxRequest& box = boxes.requests[0];
    EXPECT_EQ(kRetrieveFailed, box.text.toStdString());
    EXPECT_EQ("Error", box.title.toStdString());
    EXPECT_EQ(MessageIcon::Information, box.icon);
    EXPECT_EQ(SourcePage, box.owner);
    EXPECT_EQ(0, fmMain->CurrentStep);
    EXPECT_FALSE(fmMain->btnPrev->isEnabled());
    // The step text is left as loading set it.
    EXPECT_EQ(kLoadingText, StepText());
    EXPECT_EQ(nullptr, QApplication::overrideCursor());
    EXPECT_EQ(nullptr, GetCurrentWaitWindow());
}

TEST_F(Wizard, ExceptionWhileLoadingOffersTheDebugLog) {
    SetLoadCrmDataHook([]() -> bool { throw std::runtime_error("helper exploded"); });
    OpenWizard();
    EnterCredentials();
    bool dumpShown = false, cursorRestored = false, waitStopped = false;
    OnNextModal<TfmDump>([&](TfmDump* dump) {
        dumpShown = dump->parentWidget() == fmMain;
        cursorRestored = QApplication::overrideCursor() == nullptr;
        waitStopped = GetCurrentWaitWindow() == nullptr;
        dump->btnOK->click();
    });
    fmMain->btnNext->click();

    EXPECT_TRUE(dumpShown);
    EXPECT_TRUE(cursorRestored);
    EXPECT_TRUE(waitStopped);
    EXPECT_EQ(0, fmMain->CurrentStep);
    EXPECT_EQ(nullptr, QApplication::overrideCursor());
}

// The last-resort handling of the entry point and of the event delivery.
class UncaughtException : public Wizard {
protected:
    void ExpectShown(const std::function<bool()>& call, std::vector<std::string> expected) {
        std::vector<std::string> shown;
        SetMessageBoxHook([&shown](const MessageBoxRequest& box) {
            shown.push_back("message:" + box.text.toStdString() + ":" + box.title.toStdString());
            return static_cast<int>(mrOK);
        });
        if (fmMain)
            OnNextModal<TfmDump>([&shown](TfmDump* dump) {
                shown.push_back("dump");
                dump->btnOK->click();
            });
        EXPECT_FALSE(CallGuarded(call));
        InstallUnexpectedMessageBoxHook();
        EXPECT_EQ(expected, shown);
    }
};

TEST_F(UncaughtException, StandardExceptionShowsItsTextThenTheCrashDialog) {
    OpenWizard();
    ExpectShown([]() -> bool { throw std::logic_error("bad state"); },
                {"message:bad state:Tessmark", "dump"});
}

TEST_F(UncaughtException, OtherExceptionShowsTheCrashDialogThenAnEmptyMessage) {
    OpenWizard();
    ExpectShown([]() -> bool { throw 42; }, {"dump", "message::Tessmark"});
}

TEST_F(UncaughtException, WithoutWizardOnlyTheMessageIsShown) {
    ExpectShown([]() -> bool { throw std::runtime_error("early"); }, {"message:early:Tessmark"});
}

TEST_F(UncaughtException, AnExceptionWhileOneIsShownIsOnlyLogged) {
    int boxes = 0;
    SetMessageBoxHook([&boxes](const MessageBoxRequest&) {
        ++boxes;
        CallGuarded([]() -> bool { throw std::runtime_error("again"); });
        return static_cast<int>(mrOK);
    });
    EXPECT_TRUE(CallGuarded([]() -> bool { throw std::runtime_error("first"); }, true));
    InstallUnexpectedMessageBoxHook();
    EXPECT_EQ(1, boxes);
}

} // namespace
