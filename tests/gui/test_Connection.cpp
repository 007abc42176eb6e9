// The Connection dialog: filled from the settings, each choice stored by OK,
// nothing by Cancel, the fields usable only with their choice, the checks of
// the My Domain address and the local org file, and the file chooser; the
// sign-in choice with its consumer key, the callback address to copy, and
// Sign Out through the stand-in helper.
#include "Connection.h"

#include "Apputil.h"
#include "CrmData.h"
#include "CxText.h"
#include "GuiSupport.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

using namespace testsupport;

namespace {

const char kMyDomainExpected[] = "Please enter the address of your org's My Domain, such as "
                                 "https://NAME.my.salesforce.com.";
const char kPlainHttp[] =
    "Plain http:// is only allowed for addresses on this computer; use https://.";
const char kTooLong[] = "The address of your org's My Domain is too long.";
const char kNoConsumerKey[] =
    "Please enter the consumer key of your org's client app for Tessmark.";
const char kDefaultCallback[] = "http://localhost:1717/OauthRedirect";

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&AppSettings, 0, sizeof(AppSettings));
        AppSettings.Connection = ccSalesforce;
        CopyText(AppSettings.MyDomainUrl, "https://old.my.salesforce.com");
        CopyText(AppSettings.LocalOrgPath, "/old/org.db");
        AppSettings.SignInMethod = siPassword;
        CopyText(AppSettings.ConsumerKey, "old-key");
        CopyText(AppSettings.CallbackUrl, kDefaultCallback);
        m_org = m_dir.Path("demo.db");
        WriteFileBytes(m_org, "an org");
    }

    // The dialog as the access page opens it: filled from AppSettings, then shown.
    std::unique_ptr<TfmConnection> Open() {
        auto dialog = std::make_unique<TfmConnection>(nullptr);
        EXPECT_TRUE(dialog->UpdateData(false));
        dialog->show();
        QCoreApplication::processEvents();
        return dialog;
    }

    static std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

    AppSettingsGuard m_settings;
    TempDir m_dir;
    std::string m_org;
};

TEST_F(ConnectionTest, ShowsItsChoicesWithTheirAddresses) {
    auto dialog = Open();
    EXPECT_EQ("Connection", dialog->windowTitle().toStdString());
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << "the dialog has a fixed size";
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {
        {"rbtnSalesforce", "Salesforce"}, {"rbtnSandbox", "Salesforce sandbox"},
        {"rbtnMyDomain", "My Domain"},    {"rbtnLocalOrg", "Local org"},
        {"btnBrowse", "Browse..."},       {"btnOK", "&OK"},
        {"btnCancel", "&Cancel"},         {"rbtnPassword", "Password and security token"},
        {"rbtnBrowser", "Web browser"},   {"btnCopyCallback", "Copy"},
        {"btnSignOut", "Sign Out"},
    };
    for (const auto& b : buttons) {
        if (auto* button = Child<QAbstractButton>(dialog.get(), b.name)) {
            EXPECT_EQ(b.caption, button->text().toStdString()) << b.name;
        }
    }
    EXPECT_EQ("https://login.salesforce.com", dialog->lblSalesforceUrl->text().toStdString());
    EXPECT_EQ("https://test.salesforce.com", dialog->lblSandboxUrl->text().toStdString());
    EXPECT_EQ("https://NAME.my.salesforce.com",
              dialog->edtMyDomain->placeholderText().toStdString());
    EXPECT_TRUE(dialog->btnOK->isDefault());
    // The helper's refusal of a password sign-in names these two captions.
    EXPECT_EQ("Sign in with", dialog->GroupBox2->title().trimmed().toStdString());
    EXPECT_EQ("Consumer key:", dialog->lblConsumerKey->text().toStdString());
    EXPECT_EQ("Callback URL:", dialog->lblCallbackUrl->text().toStdString());
    EXPECT_TRUE(dialog->edtCallbackUrl->isReadOnly());
    EXPECT_TRUE(SaveScreenshot(dialog.get(), "connection_dialog"));
    ClickWidget(dialog->rbtnBrowser);
    EXPECT_TRUE(SaveScreenshot(dialog.get(), "connection_dialog_browser"));
}

// Which choice shows and which fields can be used, from the settings and
// after a click on each choice.
struct ChoiceView {
    int32_t connection;
    const char* radio;
    bool myDomainEnabled;
    bool localOrgEnabled;
};

const ChoiceView kViews[] = {
    {ccSalesforce, "rbtnSalesforce", false, false},
    {ccSandbox, "rbtnSandbox", false, false},
    {ccMyDomain, "rbtnMyDomain", true, false},
    {ccLocalOrg, "rbtnLocalOrg", false, true},
};

void ExpectView(TfmConnection& dialog, const ChoiceView& v) {
    SCOPED_TRACE(v.radio);
    auto* radio = Child<QRadioButton>(&dialog, v.radio);
    ASSERT_NE(nullptr, radio);
    EXPECT_TRUE(radio->isChecked());
    EXPECT_EQ(v.myDomainEnabled, dialog.edtMyDomain->isEnabled());
    EXPECT_EQ(v.localOrgEnabled, dialog.edtLocalOrg->isEnabled());
    EXPECT_EQ(v.localOrgEnabled, dialog.btnBrowse->isEnabled());
}

TEST_F(ConnectionTest, FillsFromTheSettings) {
    for (const ChoiceView& v : kViews) {
        AppSettings.Connection = v.connection;
        auto dialog = Open();
        ExpectView(*dialog, v);
        EXPECT_EQ("https://old.my.salesforce.com", Text(dialog->edtMyDomain));
        EXPECT_EQ("/old/org.db", Text(dialog->edtLocalOrg));
    }
    // A value that is no choice shows as Salesforce.
    AppSettings.Connection = 7;
    auto dialog = Open();
    ExpectView(*dialog, kViews[0]);
}

TEST_F(ConnectionTest, EachChoiceEnablesOnlyItsOwnField) {
    auto dialog = Open();
    for (const ChoiceView& v : {kViews[2], kViews[3], kViews[1], kViews[0], kViews[3]}) {
        ClickWidget(Child<QRadioButton>(dialog.get(), v.radio));
        ExpectView(*dialog, v);
    }
}

TEST_F(ConnectionTest, OKStoresTheChoiceWithItsField) {
    const struct {
        const char* radio;
        const char* myDomain;
        std::string localOrg;
        int32_t connection;
        std::string storedUrl;
        std::string storedPath;
    } cases[] = {
        {"rbtnSandbox", "https://typed.my.salesforce.com", "/typed.db", ccSandbox,
         "https://old.my.salesforce.com", "/old/org.db"},
        {"rbtnMyDomain", "  https://acme.my.salesforce.com/  ", "/typed.db", ccMyDomain,
         "https://acme.my.salesforce.com/", "/old/org.db"},
        {"rbtnLocalOrg", "not checked", " " + m_org + " ", ccLocalOrg,
         "https://old.my.salesforce.com", m_org},
        {"rbtnSalesforce", "", "", ccSalesforce, "https://old.my.salesforce.com", "/old/org.db"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        AppSettings.Connection = ccSandbox;
        CopyText(AppSettings.MyDomainUrl, "https://old.my.salesforce.com");
        CopyText(AppSettings.LocalOrgPath, "/old/org.db");
        auto dialog = Open();
        ClickWidget(Child<QRadioButton>(dialog.get(), c.radio));
        dialog->edtMyDomain->setText(QString::fromUtf8(c.myDomain));
        dialog->edtLocalOrg->setText(QString::fromStdString(c.localOrg));
        dialog->btnOK->click();

        EXPECT_EQ(mrOK, dialog->result());
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(c.connection, AppSettings.Connection);
        EXPECT_EQ(c.storedUrl, AppSettings.MyDomainUrl);
        EXPECT_EQ(c.storedPath, AppSettings.LocalOrgPath);
    }
}

// The helpers run in the program folder: a relative path is stored as the
// full path of the file it names here.
TEST_F(ConnectionTest, ARelativeLocalOrgPathIsStoredInFull) {
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Folder());
    auto dialog = Open();
    ClickWidget(dialog->rbtnLocalOrg);
    dialog->edtLocalOrg->setText("demo.db");
    dialog->btnOK->click();
    std::filesystem::current_path(before);

    EXPECT_EQ(mrOK, dialog->result());
    EXPECT_EQ(std::filesystem::canonical(m_org).string(),
              std::filesystem::canonical(AppSettings.LocalOrgPath).string());
    EXPECT_EQ('/', AppSettings.LocalOrgPath[0]);
}

TEST_F(ConnectionTest, CancelStoresNothing) {
    AppSettings.Connection = ccMyDomain;
    TAppSettings before;
    std::memcpy(&before, &AppSettings, sizeof(before));
    auto dialog = Open();
    ClickWidget(dialog->rbtnLocalOrg);
    dialog->edtLocalOrg->setText(QString::fromStdString(m_org));
    dialog->edtMyDomain->setText("https://new.my.salesforce.com");
    dialog->btnCancel->click();

    EXPECT_EQ(mrCancel, dialog->result());
    EXPECT_EQ(0, std::memcmp(&before, &AppSettings, sizeof(before)));
}

// One refusal: the message box, the focused field, the dialog still open and
// the settings untouched.
void ExpectRefusal(TfmConnection& dialog, QLineEdit* field, const std::string& message) {
    TAppSettings before;
    std::memcpy(&before, &AppSettings, sizeof(before));
    MessageBoxRecorder boxes;
    dialog.btnOK->click();
    ASSERT_EQ(1u, boxes.requests.size());
    const MessageBoxRequest& box = boxes.requests[0];
    EXPECT_EQ(message, box.text.toStdString());
    EXPECT_EQ("Error", box.title.toStdString());
    EXPECT_EQ(MessageIcon::Error, box.icon);
    EXPECT_EQ(MessageButtons::OK, box.buttons);
    EXPECT_EQ(&dialog, box.owner);
    EXPECT_EQ(field, dialog.focusWidget());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(mrNone, dialog.result());
    EXPECT_EQ(0, std::memcmp(&before, &AppSettings, sizeof(before)));
}

TEST_F(ConnectionTest, MyDomainAddresses) {
    const struct {
        std::string url;
        const char* refusal; // null: accepted
    } cases[] = {
        {"https://acme.my.salesforce.com", nullptr},
        {"https://acme.my.salesforce.com/", nullptr},
        {"HTTPS://Acme.My.Salesforce.com", nullptr},
        {"https://acme--dev.sandbox.my.salesforce.com:443", nullptr},
        {"https://acme.my.salesforce.com/base/path", nullptr},
        {"https://[2001:db8::1]:8443", nullptr},
        {"http://127.0.0.1:8443", nullptr},
        {"http://localhost:9000/", nullptr},
        {"http://LOCALHOST", nullptr},
        {"http://[::1]:8080", nullptr},
        {"", kMyDomainExpected},
        {"acme.my.salesforce.com", kMyDomainExpected},
        {"ftp://acme.my.salesforce.com", kMyDomainExpected},
        {"https://", kMyDomainExpected},
        {"https:///path", kMyDomainExpected},
        {"https://acme my.salesforce.com", kMyDomainExpected},
        {"https://acme.my.salesforce.com/a b", kMyDomainExpected},
        {"https://acme.my.salesforce.com?x=1", kMyDomainExpected},
        {"https://acme.my.salesforce.com/#top", kMyDomainExpected},
        {"https://-acme.my.salesforce.com", kMyDomainExpected},
        {"https://acme..salesforce.com", kMyDomainExpected},
        {"https://user@acme.my.salesforce.com", kMyDomainExpected},
        {"https://acme.my.salesforce.com:", kMyDomainExpected},
        {"https://acme.my.salesforce.com:0", kMyDomainExpected},
        {"https://acme.my.salesforce.com:70000", kMyDomainExpected},
        {"https://[::1", kMyDomainExpected},
        {"https://j\xC3\xBCrgen.example.com", kMyDomainExpected},
        {"http://acme.my.salesforce.com", kPlainHttp},
        {"http://127.0.0.2:8443", kPlainHttp},
        {"http://localhost.example.com", kPlainHttp},
        {"http://[::2]", kPlainHttp},
        {"https://" + std::string(248, 'a') + ".com", kTooLong}, // 260 bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        AppSettings.Connection = ccSalesforce;
        auto dialog = Open();
        ClickWidget(dialog->rbtnMyDomain);
        dialog->edtMyDomain->setText(QString::fromUtf8(c.url.c_str()));
        if (c.refusal) {
            ExpectRefusal(*dialog, dialog->edtMyDomain, c.refusal);
            continue;
        }
        dialog->btnOK->click();
        EXPECT_EQ(mrOK, dialog->result());
        EXPECT_EQ(ccMyDomain, AppSettings.Connection);
        EXPECT_EQ(c.url, AppSettings.MyDomainUrl);
    }
}

TEST_F(ConnectionTest, TheLocalOrgMustBeAnExistingFile) {
    const std::string missing = m_dir.Path("missing.db");
    const struct {
        std::string path;
        std::string refusal;
    } cases[] = {
        {"", "Please enter the path of the local org file."},
        {"   ", "Please enter the path of the local org file."},
        {missing, "The local org file " + missing + " does not exist."},
        {m_dir.Folder(), "The local org file " + m_dir.Folder() + " does not exist."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        auto dialog = Open();
        ClickWidget(dialog->rbtnLocalOrg);
        dialog->edtLocalOrg->setText(QString::fromStdString(c.path));
        ExpectRefusal(*dialog, dialog->edtLocalOrg, c.refusal);
    }
}

// A path that would not fit the settings is refused, not cut to another file.
TEST_F(ConnectionTest, ALocalOrgPathTooLongToKeepIsRefused) {
    std::string folder = m_dir.Folder();
    while (folder.size() < 250)
        folder += std::string(std::min<size_t>(40, 250 - folder.size()), 'f') + "/";
    std::filesystem::create_directories(folder);
    const std::string org = folder + "long-name.db";
    WriteFileBytes(org, "an org");
    ASSERT_GT(org.size(), 259u);
    auto dialog = Open();
    ClickWidget(dialog->rbtnLocalOrg);
    dialog->edtLocalOrg->setText(QString::fromStdString(org));
    ExpectRefusal(*dialog, dialog->edtLocalOrg, "The path of the local org file is too long.");
}

TEST_F(ConnectionTest, BrowseFillsInTheChosenFile) {
    CopyText(AppSettings.LocalOrgPath, m_dir.Path("missing.db").c_str());
    AppSettings.Connection = ccLocalOrg;
    auto dialog = Open();

    // Cancelled: the field stays as it was.
    OnNextModal<QFileDialog>([](QFileDialog* files) { files->reject(); });
    ClickWidget(dialog->btnBrowse);
    EXPECT_EQ(m_dir.Path("missing.db"), Text(dialog->edtLocalOrg));

    // It opens in the folder of the typed path and puts the chosen file in the field.
    std::string shownFolder;
    OnNextModal<QFileDialog>([&](QFileDialog* files) {
        shownFolder = files->directory().absolutePath().toStdString();
        // Typed as a user would: selecting waits for the folder's listing.
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) {
            name->setText(QString::fromStdString(m_org));
            static_cast<QDialog*>(files)->accept(); // the file dialog's own check runs
        }
        if (files->isVisible()) {
            ADD_FAILURE() << "the file dialog refused the file";
            files->reject();
        }
    });
    ClickWidget(dialog->btnBrowse);
    EXPECT_EQ(std::filesystem::canonical(m_dir.Folder()).string(),
              std::filesystem::canonical(shownFolder).string());
    EXPECT_EQ(m_org, Text(dialog->edtLocalOrg));

    dialog->btnOK->click();
    EXPECT_EQ(mrOK, dialog->result());
    EXPECT_EQ(m_org, AppSettings.LocalOrgPath);
}

// The sign-in group applies to the salesforce choices; its browser fields and
// Sign Out only to the browser sign-in.
TEST_F(ConnectionTest, TheSignInGroupAppliesToSalesforceChoicesOnly) {
    const struct {
        const char* connection;
        const char* method;
        bool group;
        bool browserFields;
    } cases[] = {
        {"rbtnSalesforce", "rbtnPassword", true, false},
        {"rbtnSandbox", "rbtnBrowser", true, true},
        {"rbtnMyDomain", "rbtnBrowser", true, true},
        {"rbtnLocalOrg", "rbtnBrowser", false, false},
        {"rbtnLocalOrg", "rbtnPassword", false, false},
        {"rbtnSalesforce", "rbtnBrowser", true, true},
    };
    auto dialog = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.connection) + " " + c.method);
        // A method is clicked while its group can take clicks.
        ClickWidget(dialog->rbtnSalesforce);
        ClickWidget(Child<QRadioButton>(dialog.get(), c.method));
        ClickWidget(Child<QRadioButton>(dialog.get(), c.connection));
        EXPECT_EQ(c.group, dialog->GroupBox2->isEnabled());
        EXPECT_EQ(c.group, dialog->rbtnBrowser->isEnabled());
        for (QWidget* field :
             std::initializer_list<QWidget*>{dialog->edtConsumerKey, dialog->edtCallbackUrl,
                                             dialog->btnCopyCallback, dialog->btnSignOut})
            EXPECT_EQ(c.browserFields, field->isEnabled()) << field->objectName().toStdString();
    }
}

TEST_F(ConnectionTest, TheSignInIsStoredAndFilledInAgain) {
    const struct {
        const char* name;
        const char* method;
        const char* key;
        int32_t storedMethod;
        const char* storedKey;
    } cases[] = {
        {"browser", "rbtnBrowser", "  3MVG9key.With_Marks  ", siBrowser, "3MVG9key.With_Marks"},
        {"password", "rbtnPassword", "", siPassword, ""},
        {"password keeps a typed key", "rbtnPassword", "typed", siPassword, "typed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings.SignInMethod = siPassword;
        auto dialog = Open();
        ClickWidget(Child<QRadioButton>(dialog.get(), c.method));
        dialog->edtConsumerKey->setText(QString::fromUtf8(c.key));
        dialog->btnOK->click();
        ASSERT_EQ(mrOK, dialog->result());
        EXPECT_EQ(c.storedMethod, AppSettings.SignInMethod);
        EXPECT_STREQ(c.storedKey, AppSettings.ConsumerKey);
        EXPECT_STREQ(kDefaultCallback, AppSettings.CallbackUrl);

        auto again = Open();
        EXPECT_TRUE(Child<QRadioButton>(again.get(), c.method)->isChecked());
        EXPECT_EQ(c.storedKey, Text(again->edtConsumerKey));
        EXPECT_EQ(kDefaultCallback, Text(again->edtCallbackUrl));
    }
}

TEST_F(ConnectionTest, TheCallbackShownIsTheStoredOneOrTheDefault) {
    const struct {
        const char* stored;
        int32_t method;
        const char* shown;
        const char* radio;
    } cases[] = {
        {"http://localhost:8080/cb", siBrowser, "http://localhost:8080/cb", "rbtnBrowser"},
        {"", siBrowser, kDefaultCallback, "rbtnBrowser"},
        {kDefaultCallback, 7, kDefaultCallback, "rbtnPassword"}, // no method: password
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        CopyText(AppSettings.CallbackUrl, c.stored);
        AppSettings.SignInMethod = c.method;
        auto dialog = Open();
        EXPECT_EQ(c.shown, Text(dialog->edtCallbackUrl));
        EXPECT_TRUE(Child<QRadioButton>(dialog.get(), c.radio)->isChecked());
    }
}

TEST_F(ConnectionTest, CopyPutsTheCallbackOnTheClipboard) {
    CopyText(AppSettings.CallbackUrl, "http://localhost:8080/OauthRedirect");
    AppSettings.SignInMethod = siBrowser;
    QGuiApplication::clipboard()->setText("something else");
    auto dialog = Open();
    ClickWidget(dialog->btnCopyCallback);
    EXPECT_EQ("http://localhost:8080/OauthRedirect",
              QGuiApplication::clipboard()->text().toStdString());
}

TEST_F(ConnectionTest, TheBrowserSignInNeedsAConsumerKey) {
    const struct {
        const char* connection;
        std::string key;
        const char* refusal; // null: accepted
    } cases[] = {
        {"rbtnSalesforce", "", kNoConsumerKey},
        {"rbtnSandbox", "   ", kNoConsumerKey},
        {"rbtnSalesforce", std::string(256, 'k'), "The consumer key is too long."},
        {"rbtnSalesforce", std::string(255, 'k'), nullptr},
        // The sign-in does not apply to a local org.
        {"rbtnLocalOrg", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.connection) + " key of " + std::to_string(c.key.size()));
        AppSettings.SignInMethod = siBrowser;
        AppSettings.Connection = ccSalesforce;
        auto dialog = Open();
        ClickWidget(Child<QRadioButton>(dialog.get(), c.connection));
        dialog->edtLocalOrg->setText(QString::fromStdString(m_org));
        dialog->edtConsumerKey->setText(QString::fromStdString(c.key));
        if (c.refusal) {
            ExpectRefusal(*dialog, dialog->edtConsumerKey, c.refusal);
            continue;
        }
        dialog->btnOK->click();
        EXPECT_EQ(mrOK, dialog->result());
        EXPECT_EQ(siBrowser, AppSettings.SignInMethod);
        EXPECT_EQ(c.key, AppSettings.ConsumerKey);
    }
}

// Sign Out through the stand-in helper, in a data folder of the test's own.
class ConnectionSignOut : public ConnectionTest {
protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        SetSignOutHelperName("tessmark_test_helper");
        char folder[260];
        ASSERT_TRUE(GetDataFolder(folder));
        m_data = folder;
        CopyText(AppSettings.UserName, "demo@example.com");
        CopyText(AppSettings.Password, "secret");
        CopyText(AppSettings.Token, "SECRETTOKEN");
        AppSettings.SignInMethod = siBrowser;
        CopyText(AppSettings.ConsumerKey, "3MVG9key");
    }
    void TearDown() override { SetSignOutHelperName(nullptr); }

    void Control(const std::string& lines) const {
        WriteFileBytes(m_data + "tool.ini", "[Tool]\n" + lines);
    }
    bool HelperRan() const { return FileExists(m_data + "tool-count.txt"); }
    std::map<int32_t, std::string> Sent() const {
        return ParamTexts(ReadFileBytes(m_data + "param-copy.dat"));
    }

    IsolatedHome m_home;
    std::string m_data;
};

TEST_F(ConnectionSignOut, RunsTheHelperWithTheShownChoicesAndShowsItsAnswer) {
    const char kAnswer[] =
        "Signed out: the browser sign-in of demo@example.com was ended and forgotten.";
    // What the dialog shows counts, not yet stored.
    AppSettings.SignInMethod = siPassword;
    Control(std::string("Progress=") + kAnswer + "\n");
    TAppSettings before;
    std::memcpy(&before, &AppSettings, sizeof(before));
    auto dialog = Open();
    ClickWidget(dialog->rbtnSandbox);
    ClickWidget(dialog->rbtnBrowser);
    dialog->edtConsumerKey->setText(" 3MVG9typed ");
    MessageBoxRecorder boxes;
    ClickWidget(dialog->btnSignOut);

    ASSERT_EQ(1u, boxes.requests.size());
    const MessageBoxRequest& box = boxes.requests[0];
    EXPECT_EQ(kAnswer, box.text.toStdString());
    EXPECT_EQ("Sign Out", box.title.toStdString());
    EXPECT_EQ(MessageIcon::Information, box.icon);
    EXPECT_EQ(dialog.get(), box.owner);
    std::map<int32_t, std::string> sent = Sent();
    EXPECT_EQ("4", sent[1006]);
    EXPECT_EQ("demo@example.com", sent[1001]);
    EXPECT_EQ("", sent[1002]) << "no password for a sign-out";
    EXPECT_EQ("", sent[1003]) << "no token for a sign-out";
    EXPECT_EQ("SFAddr.dat", sent[1004]);
    EXPECT_EQ("salesforce", sent[1013]);
    EXPECT_EQ("https://test.salesforce.com", sent[1014]);
    EXPECT_EQ("browser", sent[1015]);
    EXPECT_EQ("3MVG9typed", sent[1016]);
    EXPECT_EQ(kDefaultCallback, sent[1017]);
    // The dialog stays open, and nothing was stored.
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(0, std::memcmp(&before, &AppSettings, sizeof(before)));
    EXPECT_FALSE(FileExists(m_data + "SFAddrParam.dat"));
}

TEST_F(ConnectionSignOut, AFailureShowsTheHelpersReason) {
    const struct {
        const char* control;
        const char* text;
    } cases[] = {
        {"Progress=Not told\nErrorCount=1\nExitStatus=7\n", "Tool error 1"},
        {"ExitStatus=7\n", "The helper program tessmark_test_helper ended with exit status 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        Control(c.control);
        auto dialog = Open();
        MessageBoxRecorder boxes;
        ClickWidget(dialog->btnSignOut);
        ASSERT_EQ(1u, boxes.requests.size());
        EXPECT_EQ(c.text, boxes.requests[0].text.toStdString());
        EXPECT_EQ("Error", boxes.requests[0].title.toStdString());
        EXPECT_EQ(MessageIcon::Error, boxes.requests[0].icon);
    }
}

TEST_F(ConnectionSignOut, NeedsAUserNameAndAConsumerKeyBeforeTheHelperRuns) {
    const struct {
        const char* user;
        const char* key;
        const char* text;
    } cases[] = {
        {"", "3MVG9key", "Please enter your salesforce user name on the access page first."},
        {"demo@example.com", "", kNoConsumerKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CopyText(AppSettings.UserName, c.user);
        CopyText(AppSettings.ConsumerKey, c.key);
        auto dialog = Open();
        MessageBoxRecorder boxes;
        ClickWidget(dialog->btnSignOut);
        ASSERT_EQ(1u, boxes.requests.size());
        EXPECT_EQ(c.text, boxes.requests[0].text.toStdString());
        EXPECT_EQ(MessageIcon::Error, boxes.requests[0].icon);
        EXPECT_FALSE(HelperRan());
    }
}

} // namespace
