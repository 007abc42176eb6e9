// The Connection dialog: filled from the settings, each choice stored by OK,
// nothing by Cancel, the fields usable only with their choice, the checks of
// the My Domain address and the local org file, and the file chooser.
#include "Connection.h"

#include "Apputil.h"
#include "CxText.h"
#include "GuiSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

using namespace testsupport;

namespace {

const char kMyDomainExpected[] = "Please enter the address of your org's My Domain, such as "
                                 "https://NAME.my.salesforce.com.";
const char kPlainHttp[] =
    "Plain http:// is only allowed for addresses on this computer; use https://.";
const char kTooLong[] = "The address of your org's My Domain is too long.";

class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&AppSettings, 0, sizeof(AppSettings));
        AppSettings.Connection = ccSalesforce;
        CopyText(AppSettings.MyDomainUrl, "https://old.my.salesforce.com");
        CopyText(AppSettings.LocalOrgPath, "/old/org.db");
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
        {"btnCancel", "&Cancel"},
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
    EXPECT_TRUE(SaveScreenshot(dialog.get(), "connection_dialog"));
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

} // namespace
