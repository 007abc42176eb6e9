// The access page: its controls, the checks of Next in their order, what is
// stored, the kind choice, the browser sign-in chosen in the Connection
// dialog, and loading through the real helper program.
#include "Connection.h"
#include "Dupoption.h"
#include "LinkLabel.h"
#include "Links.h"
#include "WizardSupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QProcess>
#include <QRadioButton>
#include <QStyle>
#include <atomic>
#include <filesystem>
#include <vector>

using namespace testsupport;

namespace {

const char kNoContactSource[] =
    "Please select at least one Contact source type, Contact, Account or Lead.";
const char kRetrieveFailed[] = "Can not retrieve your salesforce information. Please make sure "
                               "that you entered the correct salesforce access options.";
const char kLoginFailed[] = "Login failed: the user name, password or security token is wrong.";

class AccessPage : public WizardTest {
protected:
    void SetUp() override {
        SetLoadCrmDataHook([this] {
            ++loads;
            return true;
        });
        OpenWizard();
        page = SourcePage;
    }

    // Boxes with the error icon: validation refusals.
    static int Refusals(const MessageBoxRecorder& boxes) {
        int n = 0;
        for (const MessageBoxRequest& box : boxes.requests)
            n += box.icon == MessageIcon::Error;
        return n;
    }

    TfmSFSource* page = nullptr;
    std::atomic<int> loads{0};
};

TEST_F(AccessPage, ShowsItsControlsWithTheirCaptions) {
    struct Caption {
        const char* name;
        const char* text;
    };
    const Caption buttons[] = {
        {"cbSaveUser", "Remember User Name"},
        {"cbSavePassword", "Remember Password"},
        {"cbSaveToken", "Remember Security Token"},
        {"rbtnAddr", "Contacts"},
        {"rbtnDate", "Calendar Events"},
        {"rbtnTask", "Tasks"},
        {"cbAddrContact", "Contact"},
        {"cbAddrAccount", "Account"},
        {"cbAddrLead", "Lead"},
        {"btnDupOption", "Set Duplicates Checking Rules"},
        {"btnConnection", "C&onnection..."},
    };
    for (const Caption& c : buttons) {
        if (auto* button = Child<QAbstractButton>(page, c.name)) {
            EXPECT_EQ(c.text, button->text().toStdString()) << c.name;
        }
    }
    const Caption labels[] = {{"lblTokenHelp", "What is the Security Token?"},
                              {"Label2", "Including:"},
                              {"lblUserName", "User:"},
                              {"lblPassword", "Password:"},
                              {"lblToken", "Security Token:"}};
    for (const Caption& c : labels) {
        if (auto* label = Child<QLabel>(page, c.name)) {
            EXPECT_EQ(c.text, label->text().toStdString()) << c.name;
        }
    }
    EXPECT_EQ(" SalesForce Login Settings ", page->GroupBox1->title().toStdString());
    EXPECT_EQ(" Choose Which Type of Data to Delete Duplicates ",
              page->GroupBox2->title().toStdString());
    EXPECT_EQ(QLineEdit::Password, page->edtPassword->echoMode());
    EXPECT_EQ('*', page->edtPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                                         nullptr, page->edtPassword));
    EXPECT_EQ(Qt::PointingHandCursor, page->lblTokenHelp->cursor().shape());
    EXPECT_GT(page->edtToken->width(), page->edtUserName->width());
}

TEST_F(AccessPage, KeyboardOrderRunsFromUserNameToTheKindChoice) {
    const std::vector<QWidget*> expected = {
        page->edtUserName, page->edtPassword, page->cbSaveUser, page->cbSavePassword,
        page->edtToken,    page->cbSaveToken, page->rbtnAddr};
    std::vector<QWidget*> chain;
    QWidget* w = page->edtUserName;
    for (int i = 0; i < 200 && chain.size() < expected.size(); ++i, w = w->nextInFocusChain())
        if (std::find(expected.begin(), expected.end(), w) != expected.end())
            chain.push_back(w);
    EXPECT_EQ(expected, chain);
}

// The Connection button sits beside the rules button and follows it.
TEST_F(AccessPage, ConnectionButtonFollowsTheRulesButton) {
    EXPECT_EQ(page->btnConnection, page->btnDupOption->nextInFocusChain());
    const QRect rules = page->btnDupOption->geometry();
    const QRect connection = page->btnConnection->geometry();
    EXPECT_EQ(rules.center().y(), connection.center().y());
    EXPECT_GT(connection.left(), rules.right());
}

// Each refusal names its field, focuses it, and keeps what passed before it.
struct Refusal {
    const char* name;
    const char* user;
    const char* password;
    const char* token;
    const char* message;
    const char* focus;
    const char* storedUser;
    const char* storedPassword;
    const char* storedToken;
};

class AccessPageRefusal : public AccessPage, public ::testing::WithParamInterface<Refusal> {};

TEST_P(AccessPageRefusal, ShowsTheMessageFocusesTheFieldAndKeepsWhatPassed) {
    const Refusal& r = GetParam();
    CopyText(AppSettings.UserName, "old user");
    CopyText(AppSettings.Password, "old password");
    CopyText(AppSettings.Token, "old token");
    EnterCredentials(r.user, r.password, r.token);
    const bool sourceCheck = std::string(r.focus) == "cbAddrContact";
    if (sourceCheck) {
        page->rbtnAddr->click();
        page->cbAddrContact->setChecked(false);
        page->cbAddrAccount->setChecked(false);
        page->cbAddrLead->setChecked(false);
        page->cbSaveUser->setChecked(false);
        page->cbSavePassword->setChecked(true);
    }
    MessageBoxRecorder boxes;
    fmMain->btnNext->click();

    ASSERT_EQ(1u, boxes.requests.size());
    const MessageBoxRequest& box = boxes.requests[0];
    EXPECT_EQ(r.message, box.text.toStdString());
    EXPECT_EQ("Error", box.title.toStdString());
    EXPECT_EQ(MessageIcon::Error, box.icon);
    EXPECT_EQ(MessageButtons::OK, box.buttons);
    EXPECT_EQ(page, box.owner);
    ASSERT_NE(nullptr, fmMain->focusWidget());
    EXPECT_EQ(r.focus, fmMain->focusWidget()->objectName().toStdString());

    EXPECT_STREQ(r.storedUser, AppSettings.UserName);
    EXPECT_STREQ(r.storedPassword, AppSettings.Password);
    EXPECT_STREQ(r.storedToken, AppSettings.Token);
    if (sourceCheck) {
        EXPECT_FALSE(AppSettings.SaveUser);
        EXPECT_TRUE(AppSettings.SavePassword);
        EXPECT_EQ(rkAddr, AppSettings.AppFlag);
        EXPECT_FALSE(AppSettings.AddrContact);
    }
    EXPECT_EQ(0, loads.load());
    EXPECT_EQ(0, fmMain->CurrentStep);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, AccessPageRefusal,
    ::testing::Values(Refusal{"EmptyUserName", "", "pw", "tok", "Invalid salesforce user name.",
                              "edtUserName", "old user", "old password", "old token"},
                      Refusal{"EmptyPassword", "me", "", "tok", "Invalid salesforce password.",
                              "edtPassword", "me", "old password", "old token"},
                      Refusal{"EmptyToken", "me", "pw", "", "Invalid salesforce security token.",
                              "edtToken", "me", "pw", "old token"},
                      Refusal{"NoContactSource", "me", "pw", "tok", kNoContactSource,
                              "cbAddrContact", "me", "pw", "tok"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AccessPage, UserNameOfSpacesPasses) {
    EnterCredentials("   ", "pw", "tok");
    fmMain->btnNext->click();
    EXPECT_EQ(1, loads.load());
    EXPECT_STREQ("   ", AppSettings.UserName);
    EXPECT_EQ(1, fmMain->CurrentStep);
}

// Texts longer than their field are cut to its capacity in UTF-8 bytes, never
// inside a character.
TEST_F(AccessPage, LongTextsAreCutAtCharacterBoundaries) {
    const std::string user = std::string(62, 'u') + "\xC3\xA9" + "tail"; // é across byte 63
    const std::string password(70, 'p');
    const std::string token = std::string(254, 't') + "\xE2\x82\xAC"; // € across byte 255
    EnterCredentials(user.c_str(), password.c_str(), token.c_str());
    fmMain->btnNext->click();

    EXPECT_EQ(std::string(62, 'u'), AppSettings.UserName);
    EXPECT_EQ(std::string(63, 'p'), AppSettings.Password);
    EXPECT_EQ(std::string(254, 't'), AppSettings.Token);
    EXPECT_EQ(1, fmMain->CurrentStep);
}

TEST_F(AccessPage, LoadingUsesTheCutPassword) {
    SetLoadCrmDataHook(nullptr);
    // No org anywhere: the helper must not look for one on the network.
    AppSettings.Connection = ccLocalOrg;
    CopyText(AppSettings.LocalOrgPath, (home.Home() + "no-such-org.db").c_str());
    EnterCredentials("me", std::string(70, 'p').c_str(), "tok");
    MessageBoxRecorder boxes; // the load itself may fail: no org here
    fmMain->btnNext->click();

    EXPECT_EQ(0, Refusals(boxes));
    ASSERT_NE(nullptr, CrmData.AddrUtil);
    EXPECT_EQ(std::string(63, 'p'), CrmData.AddrUtil->GetPassword());
    EXPECT_STREQ("me", CrmData.AddrUtil->GetUserName());
    EXPECT_STREQ("local", CrmData.AddrUtil->GetConnectionKind());
    EXPECT_EQ(home.Home() + "no-such-org.db", CrmData.AddrUtil->GetConnectionTarget());
}

TEST_F(AccessPage, ContactSourcesAreOnlyCheckedForContacts) {
    EnterCredentials();
    page->rbtnDate->click();
    page->cbAddrContact->setChecked(false);
    page->cbAddrAccount->setChecked(false);
    page->cbAddrLead->setChecked(false);
    fmMain->btnNext->click();

    EXPECT_EQ(1, loads.load());
    EXPECT_EQ(rkDate, AppSettings.AppFlag);
    EXPECT_FALSE(AppSettings.AddrContact);
    EXPECT_EQ(1, fmMain->CurrentStep);
}

TEST_F(AccessPage, KindButtonsSwitchTheContactSourcesKeepingTheirTicks) {
    page->cbAddrAccount->setChecked(false);
    page->rbtnDate->click();
    EXPECT_FALSE(page->cbAddrContact->isEnabled());
    EXPECT_FALSE(page->cbAddrLead->isEnabled());
    EXPECT_TRUE(page->cbAddrContact->isChecked());
    page->rbtnAddr->click();
    EXPECT_TRUE(page->cbAddrContact->isEnabled());
    EXPECT_FALSE(page->cbAddrAccount->isChecked());
    page->rbtnTask->click();
    EXPECT_FALSE(page->cbAddrAccount->isEnabled());
    EXPECT_FALSE(page->rbtnAddr->isChecked());
}

TEST_F(AccessPage, DuplicateRulesOpenOverThePageWithTheStoredRules) {
    AppSettings.AddrPhone = true;
    AppSettings.AddrEmail = false;
    QWidget* owner = nullptr;
    bool phone = false, email = true;
    OnNextModal<TfmDupOption>([&](TfmDupOption* dialog) {
        owner = dialog->parentWidget();
        phone = dialog->cbAddrPhone->isChecked();
        email = dialog->cbAddrEmail->isChecked();
        dialog->btnCancel->click();
    });
    ClickWidget(page->btnDupOption);
    EXPECT_EQ(page, owner);
    EXPECT_TRUE(phone);
    EXPECT_FALSE(email);
}

// The dialog opens over the page with the stored choice; its choice is kept
// and written with the other settings when the program ends.
TEST_F(AccessPage, ConnectionOpensOverThePageAndItsChoiceIsSavedAtTheEnd) {
    AppSettings.Connection = ccSandbox;
    QWidget* owner = nullptr;
    bool sandboxShown = false;
    OnNextModal<TfmConnection>([&](TfmConnection* dialog) {
        owner = dialog->parentWidget();
        sandboxShown = dialog->rbtnSandbox->isChecked();
        ClickWidget(dialog->rbtnMyDomain);
        dialog->edtMyDomain->setText("https://acme.my.salesforce.com");
        dialog->btnOK->click();
    });
    ClickWidget(page->btnConnection);
    EXPECT_EQ(page, owner);
    EXPECT_TRUE(sandboxShown);
    EXPECT_EQ(ccMyDomain, AppSettings.Connection);
    EXPECT_STREQ("https://acme.my.salesforce.com", AppSettings.MyDomainUrl);

    fmMain->close();
    FlushDeletes();
    ASSERT_EQ(nullptr, fmMain);
    const std::string ini = ReadFileBytes(SettingsPath());
    EXPECT_NE(std::string::npos, ini.find("\nConnection=MyDomain\n")) << ini;
    EXPECT_NE(std::string::npos, ini.find("\nMyDomainUrl=https://acme.my.salesforce.com\n"));
}

// The password and token controls, out of use with the browser sign-in.
std::vector<QWidget*> PasswordControls(TfmSFSource* page) {
    return {page->lblPassword, page->edtPassword, page->cbSavePassword, page->lblToken,
            page->edtToken,    page->cbSaveToken, page->lblTokenHelp};
}

void ExpectPasswordControls(TfmSFSource* page, bool enabled) {
    for (QWidget* control : PasswordControls(page))
        EXPECT_EQ(enabled, control->isEnabled()) << control->objectName().toStdString();
    EXPECT_TRUE(page->edtUserName->isEnabled());
    EXPECT_TRUE(page->cbSaveUser->isEnabled());
}

// Chooses a connection and a sign-in in the Connection dialog and closes it
// with OK, or with Cancel when ok is false.
void ChooseInConnectionDialog(TfmSFSource* page, const char* connection, const char* method,
                              bool ok = true) {
    OnNextModal<TfmConnection>([=](TfmConnection* dialog) {
        ClickWidget(Child<QRadioButton>(dialog, connection));
        ClickWidget(Child<QRadioButton>(dialog, method));
        dialog->edtConsumerKey->setText("3MVG9key");
        (ok ? dialog->btnOK : dialog->btnCancel)->click();
    });
    ClickWidget(page->btnConnection);
}

// The page follows the dialog as soon as it closes with OK.
TEST_F(AccessPage, TheBrowserSignInTakesThePasswordAndTokenOutOfUse) {
    AppSettings.Connection = ccSalesforce;
    AppSettings.SignInMethod = siPassword;
    ExpectPasswordControls(page, true);

    ChooseInConnectionDialog(page, "rbtnMyDomain", "rbtnBrowser", false);
    ExpectPasswordControls(page, true);
    EXPECT_EQ(siPassword, AppSettings.SignInMethod);

    // Filled in for the dialog, which needs an address for My Domain.
    CopyText(AppSettings.MyDomainUrl, "https://acme.my.salesforce.com");
    ChooseInConnectionDialog(page, "rbtnMyDomain", "rbtnBrowser");
    EXPECT_EQ(siBrowser, AppSettings.SignInMethod);
    ExpectPasswordControls(page, false);

    // A local org signs in with the password whatever the method.
    WriteFileBytes(home.Home() + "org.db", "an org");
    CopyText(AppSettings.LocalOrgPath, (home.Home() + "org.db").c_str());
    ChooseInConnectionDialog(page, "rbtnLocalOrg", "rbtnBrowser");
    EXPECT_EQ(ccLocalOrg, AppSettings.Connection);
    ExpectPasswordControls(page, true);
    ChooseInConnectionDialog(page, "rbtnSandbox", "rbtnBrowser");
    ExpectPasswordControls(page, false);
    ChooseInConnectionDialog(page, "rbtnSandbox", "rbtnPassword");
    ExpectPasswordControls(page, true);
}

// Next checks and stores the user name only; the password and token kept for
// the password sign-in stay as they were.
TEST_F(AccessPage, WithTheBrowserSignInNextNeedsOnlyTheUserName) {
    CopyText(AppSettings.Password, "old password");
    CopyText(AppSettings.Token, "old token");
    ChooseInConnectionDialog(page, "rbtnSalesforce", "rbtnBrowser");
    EnterCredentials("me@example.com", "", "");
    fmMain->btnNext->click();

    EXPECT_EQ(1, loads.load());
    EXPECT_EQ(1, fmMain->CurrentStep);
    EXPECT_STREQ("me@example.com", AppSettings.UserName);
    EXPECT_STREQ("old password", AppSettings.Password);
    EXPECT_STREQ("old token", AppSettings.Token);
}

TEST_F(AccessPage, WithTheBrowserSignInTheUserNameIsStillRequired) {
    ChooseInConnectionDialog(page, "rbtnSalesforce", "rbtnBrowser");
    EnterCredentials("", "", "");
    MessageBoxRecorder boxes;
    fmMain->btnNext->click();

    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ("Invalid salesforce user name.", boxes.requests[0].text.toStdString());
    EXPECT_EQ(0, loads.load());
    EXPECT_EQ(0, fmMain->CurrentStep);
}

// Sign Out in the dialog is for the user name the page shows, not yet stored.
TEST_F(AccessPage, SignOutIsForTheUserNameThePageShows) {
    SetSignOutHelperName("tessmark_test_helper");
    CopyText(AppSettings.UserName, "stored@example.com");
    AppSettings.Connection = ccSalesforce;
    AppSettings.SignInMethod = siBrowser;
    CopyText(AppSettings.ConsumerKey, "3MVG9key");
    std::filesystem::create_directories(home.DataFolder());
    WriteFileBytes(home.DataFolder() + "tool.ini", "[Tool]\nProgress=Signed out.\n");
    page->edtUserName->setText("typed@example.com");
    MessageBoxRecorder boxes;
    OnNextModal<TfmConnection>([](TfmConnection* dialog) {
        ClickWidget(dialog->btnSignOut);
        dialog->btnCancel->click();
    });
    ClickWidget(page->btnConnection);
    SetSignOutHelperName(nullptr);

    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ("Signed out.", boxes.requests[0].text.toStdString());
    EXPECT_EQ("typed@example.com",
              ParamTexts(ReadFileBytes(home.DataFolder() + "param-copy.dat"))[1001]);
    EXPECT_STREQ("stored@example.com", AppSettings.UserName);
}

TEST_F(AccessPage, TokenHelpOpensTheTokenPage) {
    ShellOpenRecorder shell;
    ClickWidget(page->lblTokenHelp);
    ASSERT_EQ(1u, shell.targets.size());
    EXPECT_EQ(kTokenHelpUrl, shell.targets[0]);
}

// An AppFlag the page does not offer (notes, several kinds) shows as Tasks,
// and Next then loads tasks only.
class AccessPageKind : public WizardTest, public ::testing::WithParamInterface<int> {};

TEST_P(AccessPageKind, OtherKindsShowAsTasksAndLoadTasks) {
    std::filesystem::create_directories(home.DataFolder());
    // No org anywhere: the helper must not look for one on the network.
    WriteFileBytes(SettingsPath(), "[Tessmark]\nAppFlag=" + std::to_string(GetParam()) +
                                       "\nConnection=LocalOrg\nLocalOrgPath=" + home.Home() +
                                       "no-such-org.db\n");
    OpenWizard();
    EXPECT_TRUE(SourcePage->rbtnTask->isChecked());
    EXPECT_FALSE(SourcePage->cbAddrContact->isEnabled());

    EnterCredentials();
    MessageBoxRecorder boxes; // no org here: the load itself may fail
    fmMain->btnNext->click();

    EXPECT_EQ(rkTask, AppSettings.AppFlag);
    ASSERT_NE(nullptr, CrmData.TaskUtil);
    // Only the chosen kind's exchange object was given the login.
    EXPECT_STREQ("demo@example.com", CrmData.TaskUtil->GetUserName());
    EXPECT_STREQ("", CrmData.NoteUtil->GetUserName());
    EXPECT_STREQ("", CrmData.AddrUtil->GetUserName());
}

INSTANTIATE_TEST_SUITE_P(Flags, AccessPageKind, ::testing::Values(rkNote, rkAddr | rkTask, 0));

// A browser sign-in stored in the settings file shows at start.
class AccessPageStart : public WizardTest {};

TEST_F(AccessPageStart, AStoredBrowserSignInShowsAtStart) {
    const struct {
        const char* lines;
        bool passwordInUse;
    } cases[] = {
        {"Connection=Sandbox\nSignInMethod=browser\nConsumerKey=k\n", false},
        {"Connection=Sandbox\nSignInMethod=Password\n", true},
        {"Connection=LocalOrg\nLocalOrgPath=/no/org.db\nSignInMethod=Browser\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        std::filesystem::create_directories(home.DataFolder());
        WriteFileBytes(SettingsPath(), std::string("[Tessmark]\n") + c.lines);
        OpenWizard();
        ExpectPasswordControls(SourcePage, c.passwordInUse);
        DestroyWizard();
    }
}

// Loading through the real helper program against a local sample org.
class AccessPageHelper : public WizardTest {
protected:
    void SetUp() override {
        char folder[260];
        ASSERT_TRUE(GetModuleFolder(nullptr, folder));
        const std::string tool = std::string(folder) + "tessmark-sample-org";
        const std::string helper = std::string(folder) + "Velmora.SFTaskUtil.exe";
        ASSERT_TRUE(FileExists(tool) && FileExists(helper))
            << "build the helper programs first (target tessmark_helpers)";
        const std::string org = home.Home() + "org.db";
        QStringList args = {"--out",      QString::fromStdString(org),
                            "--contacts", "20",
                            "--accounts", "5",
                            "--leads",    "5",
                            "--events",   "10",
                            "--tasks",    "12",
                            "--notes",    "4"};
        ASSERT_EQ(0, QProcess::execute(QString::fromStdString(tool), args));
        std::filesystem::create_directories(home.DataFolder());
        WriteFileBytes(home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nLocalOrg=" + org + "\n");
        OpenWizard();
        SourcePage->rbtnTask->click();
    }
};

TEST_F(AccessPageHelper, SampleOrgLoadsAndReachesTheReview) {
    EnterCredentials("demo@example.com", "demo", "DEMOTOKEN");
    fmMain->btnNext->click();

    EXPECT_EQ(1, fmMain->CurrentStep);
    ASSERT_NE(nullptr, CrmData.TaskUtil);
    EXPECT_EQ(12u, CrmData.TaskUtil->GetRecordList()->GetCount());
    EXPECT_EQ(0u, CrmData.AddrUtil->GetRecordList()->GetCount());
    // A first start takes the local org of the helper's settings file.
    EXPECT_STREQ("local", CrmData.TaskUtil->GetConnectionKind());
    EXPECT_EQ(home.Home() + "org.db", CrmData.TaskUtil->GetConnectionTarget());
    EXPECT_EQ(nullptr, GetCurrentWaitWindow());
}

// The message ends with the helper's own reason, after an empty line.
TEST_F(AccessPageHelper, WrongPasswordStaysAtStepZeroWithTheRetrievalMessage) {
    EnterCredentials("demo@example.com", "not the password", "DEMOTOKEN");
    MessageBoxRecorder boxes;
    fmMain->btnNext->click();

    ASSERT_EQ(1u, boxes.requests.size());
    EXPECT_EQ(std::string(kRetrieveFailed) + "\n\n" + kLoginFailed,
              boxes.requests[0].text.toStdString());
    EXPECT_EQ(MessageIcon::Information, boxes.requests[0].icon);
    EXPECT_EQ(0, fmMain->CurrentStep);
}

// When the program knows why loading failed, the retrieval message says it
// under the message, as the helper's own reasons are said: the real loading,
// the real message box text.
class AccessPageCause : public WizardTest {
protected:
    void SetUp() override {
        OpenWizard();
        SourcePage->rbtnTask->click();
        EnterCredentials();
    }
    void TearDown() override {
        SetLoadHelperName(nullptr);
        WizardTest::TearDown();
    }
};

TEST_F(AccessPageCause, TheRetrievalMessageSaysWhyWhenTheProgramKnows) {
    const std::string tail = "/velmora/Tessmark/";
    const std::string longBase =
        home.Home() + std::string(250 - tail.size() - home.Home().size(), 'd');
    const std::string unwritable = home.Home() + "unwritable";
    const bool haveUnwritable = MakeUnwritableDataFolder(unwritable);
    const struct {
        const char* name;
        const char* xdg;    // the data folder's base; null: the test's home
        bool noHome;        // HOME and XDG_DATA_HOME unset
        const char* helper; // the helper every load runs; null: the kind's own
        const char* tool;   // what the stand-in helper does
        std::string reason;
    } cases[] = {
        {"data folder path too long", longBase.c_str(), false, nullptr, nullptr,
         "The data folder path is too long: " + longBase + tail},
        {"data folder not writable", unwritable.c_str(), false, nullptr, nullptr,
         "The data folder " + unwritable + tail + " can not be written: Permission denied"},
        {"no data folder", nullptr, true, nullptr, nullptr,
         "The data folder can not be found: neither XDG_DATA_HOME nor HOME names an absolute "
         "folder."},
        {"helper missing", nullptr, false, "tessmark-no-such-helper", nullptr,
         "The helper program tessmark-no-such-helper could not be started: No such file or "
         "directory"},
        {"helper stopped on request", nullptr, false, "tessmark_test_helper", "ExitStatus=6\n",
         "The helper program tessmark_test_helper was stopped on request."},
        {"the helper's own reason comes first", nullptr, false, "tessmark_test_helper",
         "ErrorCount=1\nExitStatus=6\n", "Tool error 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "data folder not writable" && !haveUnwritable)
            continue;
        ScopedEnv xdg("XDG_DATA_HOME", c.noHome ? nullptr
                                       : c.xdg  ? c.xdg
                                                : (home.Home() + ".local/share").c_str());
        ScopedEnv noHome("HOME", c.noHome ? nullptr : home.Home().c_str());
        SetLoadHelperName(c.helper);
        if (c.tool) {
            std::filesystem::create_directories(home.DataFolder());
            WriteFileBytes(home.DataFolder() + "tool.ini", std::string("[Tool]\n") + c.tool);
        }
        MessageBoxRecorder boxes;
        fmMain->btnNext->click();

        ASSERT_EQ(1u, boxes.requests.size());
        EXPECT_EQ(std::string(kRetrieveFailed) + "\n\n" + c.reason,
                  boxes.requests[0].text.toStdString());
        EXPECT_EQ("Error", boxes.requests[0].title.toStdString());
        EXPECT_EQ(MessageIcon::Information, boxes.requests[0].icon);
        EXPECT_EQ(0, fmMain->CurrentStep);
    }
}

} // namespace
