// The whole job as a user does it against an org reached over the CRM's API:
// the stand-in of the API on 127.0.0.1 serves the org, the real helper program
// signs in, loads contacts from the three objects page by page and deletes.
// The user points the Connection dialog at the stand-in, logs in, unticks one
// duplicate and lets the clean-up page delete the rest.
#include "Connection.h"
#include "CrmData.h"
#include "GuiSupport.h"
#include "Main.h"
#include "RecordListView.h"
#include "SFRecords.h"
#include "Sfclean.h"
#include "Sfdata.h"
#include "Sfsource.h"
#include "StandinSupport.h"
#include "TestSupport.h"
#include "WizardSupport.h"
#include "WorkRunner.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace testsupport;
using standin::Quote;
using standin::Record;

std::string Id(const char* prefix, int n) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%s%012dAAA", prefix, n);
    return buf;
}

Record Person(const char* prefix, int n, const std::string& first, const std::string& last,
              const std::string& email, int day) {
    Record r{{"Id", Quote(Id(prefix, n))},
             {"LastName", Quote(last)},
             {"Email", Quote(email)},
             {"CreatedDate", Quote("2024-01-01T08:00:00.000+0000")},
             {"LastModifiedDate", Quote("2024-05-" + std::string(day < 10 ? "0" : "") +
                                        std::to_string(day) + "T10:00:00.000+0000")}};
    if (std::string(prefix) == "003") {
        r.push_back({"IsPersonAccount", "false"});
        r.push_back({"AccountId", "null"});
    }
    if (!first.empty()) {
        r.push_back({"FirstName", Quote(first)});
        r.push_back({"Name", Quote(first + " " + last)});
    }
    return r;
}

// Contacts with two duplicate groups, accounts and leads with one duplicate
// each (an account and a lead named like a contact group do not match it: the
// names differ in the fields the rules compare).
standin::Org JobOrg() {
    standin::Org org;
    org.objects["Contact"] = {
        Person("003", 1, "Ann", "Lee", "ann@a.example", 1),
        Person("003", 2, "Ann", "Lee", "ann@a.example", 2),
        Person("003", 3, "Ann", "Lee", "ann@a.example", 3),
        Person("003", 4, "Bo", "Chan", "bo@b.example", 4),
        Person("003", 5, "Bo", "Chan", "bo@b.example", 5),
        Person("003", 6, "Cy", "Doe", "cy@c.example", 6),
        Person("003", 7, "Di", "Eng", "di@d.example", 7),
    };
    org.objects["Account"] = {
        {{"Id", Quote(Id("001", 1))},
         {"Name", Quote("Acme Ltd")},
         {"LastModifiedDate", Quote("2024-04-01T10:00:00.000+0000")},
         {"IsPersonAccount", "false"}},
        {{"Id", Quote(Id("001", 2))},
         {"Name", Quote("Acme Ltd")},
         {"LastModifiedDate", Quote("2024-04-02T10:00:00.000+0000")},
         {"IsPersonAccount", "false"}},
        {{"Id", Quote(Id("001", 3))},
         {"Name", Quote("Zeta AG")},
         {"LastModifiedDate", Quote("2024-04-03T10:00:00.000+0000")},
         {"IsPersonAccount", "false"}},
    };
    org.objects["Lead"] = {
        Person("00Q", 1, "Lu", "Ray", "lu@l.example", 8),
        Person("00Q", 2, "Lu", "Ray", "lu@l.example", 9),
        Person("00Q", 3, "Mo", "Fox", "mo@m.example", 10),
    };
    org.objects["Opportunity"] = {};
    org.describe["Opportunity"] = {"Id", "AccountId", "Name"};
    org.objects["Case"] = {};
    org.describe["Case"] = {"Id", "AccountId"};
    return org;
}

std::string RecordId(void* record) {
    return static_cast<SFAddrRec*>(record)->Id;
}

class WholeJobSalesforce : public WizardTest {
protected:
    void SetUp() override {
        m_server = std::make_unique<standin::Server>(JobOrg(), 3);
        ASSERT_TRUE(m_server->Started());
        std::filesystem::create_directories(home.DataFolder());
        // The browser sign-in's page is opened by a script that plays the
        // user's browser: it signs in and comes back to the helper.
        const std::string browser = home.DataFolder() + "browser.sh";
        WriteFileBytes(browser, "#!/bin/sh\necho opened >> '" + home.DataFolder() +
                                    "browser.log'\nexec '" + TESSMARK_PYTHON + "' '" +
                                    standin::FakeBrowserScript() + "' \"$1\" 2>/dev/null\n");
        chmod(browser.c_str(), 0700);
        WriteFileBytes(home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nRetryDelayMs=20\nRequestTimeoutS=10\nBrowserTimeoutS=20\n"
                       "BrowserCommand=" +
                           browser + "\n");
        // A callback port of its own, as an administrator may register one.
        WriteFileBytes(SettingsPath(), "[Tessmark]\nCallbackUrl=http://localhost:" +
                                           std::to_string(standin::FreePort()) +
                                           "/OauthRedirect\n");
        OpenWizard();
    }

    // The Connection dialog, as the user fills it: My Domain with the stand-in's
    // address, signing in with the password or in the browser.
    void PointAtStandin(bool browser = false) {
        OnNextModal<TfmConnection>([this, browser](TfmConnection* dialog) {
            dialog->rbtnMyDomain->click();
            dialog->edtMyDomain->setText(QString::fromStdString(m_server->Url()));
            if (browser) {
                dialog->rbtnBrowser->click();
                dialog->edtConsumerKey->setText("TESSMARK-KEY");
            }
            dialog->btnOK->click();
        });
        SourcePage->btnConnection->click();
    }

    size_t BrowserOpenings() {
        const std::string log = ReadFileBytes(home.DataFolder() + "browser.log");
        return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
    }

    std::unique_ptr<standin::Server> m_server;
};

TEST_F(WholeJobSalesforce, DeletesExactlyTheTickedRecordsInTheOrg) {
    PointAtStandin();
    SourcePage->rbtnAddr->click();
    EnterCredentials("ann@example.com", "secret-pw", "TOKEN123");
    fmMain->btnNext->click();
    ASSERT_EQ(1, fmMain->CurrentStep);
    // Pages of three, followed to the end for all three objects.
    EXPECT_EQ(13u, CrmData.AddrUtil->GetRecordList()->GetCount());
    EXPECT_EQ(m_server->CountRequests({"/query/"}), 2u);

    // Every duplicate is listed ticked; untick the first one.
    TRecordListView* view = DataPage->lvAddr;
    TRecordListModel* model = view->Model();
    ASSERT_EQ(5, model->RowCount());
    view->scrollToTop();
    QCoreApplication::processEvents();
    ClickCheckBox(view, 0);
    ASSERT_FALSE(model->IsTicked(0));
    const std::string kept = RecordId(model->RecordAt(0));
    std::set<std::string> ticked;
    for (int row = 1; row < model->RowCount(); ++row)
        ticked.insert(RecordId(model->RecordAt(row)));

    fmMain->btnNext->click();
    ASSERT_EQ(2, fmMain->CurrentStep);
    auto memo = [] { return CleanPage->memLog->toPlainText().toStdString(); };
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return memo().find("deletions") != std::string::npos && !IsWorkRunning(); }, 60000))
        << memo();
    EXPECT_NE(std::string::npos, memo().find("4 contact deletions submitted to salesforce."))
        << memo();

    // The org received exactly the ticked deletions.
    EXPECT_EQ(ticked, m_server->Deleted());
    EXPECT_EQ(0u, m_server->Deleted().count(kept));
    const std::string resultsLine = "The outcome of every record is in ";
    const size_t at = memo().find(resultsLine);
    ASSERT_NE(std::string::npos, at) << memo();
    std::string path = memo().substr(at + resultsLine.size());
    path = path.substr(0, path.find('\n'));
    if (!path.empty() && path.back() == '.')
        path.pop_back();
    std::ifstream results(path);
    std::string line;
    std::set<std::string> deletedInFile;
    int lines = 0;
    while (std::getline(results, line)) {
        ++lines;
        if (line.find(",deleted,") != std::string::npos)
            deletedInFile.insert(line.substr(0, line.find(',')));
    }
    EXPECT_EQ(5, lines); // the header and one line per ticked record
    EXPECT_EQ(ticked, deletedInFile);
    // The backup holds them, each with its fields.
    const std::string backupLine = "A backup of the deleted records is in ";
    const size_t backupAt = memo().find(backupLine);
    ASSERT_NE(std::string::npos, backupAt) << memo();
    std::string backup = memo().substr(backupAt + backupLine.size());
    backup = backup.substr(0, backup.find('\n'));
    backup.pop_back();
    const std::string saved = ReadFileBytes(backup);
    for (const std::string& id : ticked)
        EXPECT_NE(std::string::npos, saved.find(id)) << id;
    SaveScreenshot(fmMain, "whole-job-salesforce");

    // Undo Deletion asks the org to restore exactly them; then it is gone, and
    // Restart leaves the page.
    ASSERT_TRUE(CleanPage->btnUndo->isVisible());
    {
        MessageBoxRecorder answer(mrYes);
        CleanPage->btnUndo->click();
        EXPECT_EQ(1u, answer.requests.size());
    }
    EXPECT_NE(std::string::npos, memo().find("4 contact deletions undone in salesforce."))
        << memo();
    EXPECT_EQ(ticked, m_server->Undeleted());
    EXPECT_FALSE(CleanPage->btnUndo->isVisible());
    fmMain->btnPrev->click();
    EXPECT_EQ(0, fmMain->CurrentStep);
}

// Undo is offered only while the clean-up step shows: Restart takes it away.
TEST_F(WholeJobSalesforce, RestartTakesTheUndoAway) {
    PointAtStandin();
    SourcePage->rbtnAddr->click();
    EnterCredentials("ann@example.com", "secret-pw", "TOKEN123");
    fmMain->btnNext->click();
    ASSERT_EQ(1, fmMain->CurrentStep);
    fmMain->btnNext->click();
    ASSERT_EQ(2, fmMain->CurrentStep);
    auto memo = [] { return CleanPage->memLog->toPlainText().toStdString(); };
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return memo().find("deletions") != std::string::npos && !IsWorkRunning(); }, 60000))
        << memo();
    ASSERT_TRUE(CleanPage->btnUndo->isVisible());
    fmMain->btnPrev->click();
    ASSERT_EQ(0, fmMain->CurrentStep);
    EXPECT_FALSE(CleanPage->btnUndo->isVisible());
    EXPECT_TRUE(m_server->Undeleted().empty());
}

TEST_F(WholeJobSalesforce, TheBrowserSignInDoesTheWholeJobWithoutAPassword) {
    PointAtStandin(true);
    ASSERT_FALSE(SourcePage->edtPassword->isEnabled());
    ASSERT_FALSE(SourcePage->edtToken->isEnabled());
    SourcePage->rbtnAddr->click();
    SourcePage->edtUserName->setText("ann@example.com");
    SourcePage->edtPassword->clear();
    SourcePage->edtToken->clear();
    fmMain->btnNext->click();
    ASSERT_EQ(1, fmMain->CurrentStep);
    EXPECT_EQ(13u, CrmData.AddrUtil->GetRecordList()->GetCount());
    EXPECT_EQ(1u, BrowserOpenings());

    TRecordListModel* model = DataPage->lvAddr->Model();
    ASSERT_EQ(5, model->RowCount());
    std::set<std::string> ticked;
    for (int row = 0; row < model->RowCount(); ++row)
        ticked.insert(RecordId(model->RecordAt(row)));
    fmMain->btnNext->click();
    ASSERT_EQ(2, fmMain->CurrentStep);
    auto memo = [] { return CleanPage->memLog->toPlainText().toStdString(); };
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return memo().find("deletions") != std::string::npos && !IsWorkRunning(); }, 60000))
        << memo();
    EXPECT_NE(std::string::npos, memo().find("5 contact deletions submitted to salesforce."))
        << memo();
    EXPECT_EQ(ticked, m_server->Deleted());
    // The submit signed in silently with the kept sign-in.
    EXPECT_EQ(1u, BrowserOpenings());
    EXPECT_EQ(0u, m_server->CountRequests({"/services/Soap/"}));
}

} // namespace
