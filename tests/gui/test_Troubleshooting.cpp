#include "Debugger.h"
#include "Dump.h"

#include "Apputil.h"
#include "CxDebugUtil.h"
#include "GuiSupport.h"
#include "Links.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class TroubleshootingTest : public ::testing::Test {
protected:
    IsolatedHome m_home;
    AppSettingsGuard m_settings;
    DebugLogGuard m_log;
};

// Both dialogs share the log folder box; tests of it run against each.
struct DialogKind {
    const char* name;
    std::unique_ptr<QDialog> (*make)();
};

const DialogKind kDialogs[] = {
    {"TfmDebug", [] { return std::unique_ptr<QDialog>(new TfmDebug(nullptr)); }},
    {"TfmDump", [] { return std::unique_ptr<QDialog>(new TfmDump(nullptr)); }},
};

QString Text(const QObject* root, const char* name) {
    if (auto* label = root->findChild<QLabel*>(name))
        return label->text();
    if (auto* button = root->findChild<QAbstractButton*>(name))
        return button->text();
    ADD_FAILURE() << "no label or button named " << name;
    return QString();
}

TEST_F(TroubleshootingTest, DebugDialogShowsItsControls) {
    AppSettings.EnableDebug = true;
    AppSettings.LogLevel = 1;
    TfmDebug dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Tessmark Debug Log Options");
    EXPECT_EQ(dialog.size(), QSize(553, 396));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    auto* title = Child<QLabel>(&dialog, "Label6");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Tessmark");
    EXPECT_EQ(title->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(title->font().bold());
    EXPECT_EQ(Text(&dialog, "cbEnable"), "Enable Debug Log");
    EXPECT_TRUE(Child<QCheckBox>(&dialog, "cbEnable")->isChecked());
    EXPECT_EQ(Text(&dialog, "Label1"), "Set Debug Level:");
    EXPECT_EQ(Child<QGroupBox>(&dialog, "GroupBox1")->title(), " Debug Information ");
    EXPECT_EQ(Text(&dialog, "Label4"), "Log Folder:");
    EXPECT_EQ(Text(&dialog, "Label5"), "Log File:");
    EXPECT_EQ(Text(&dialog, "btnFolder"), "...");
    EXPECT_EQ(Text(&dialog, "btnFile"), "...");
    EXPECT_EQ(Text(&dialog, "btnOK"), "&OK");
    EXPECT_EQ(Text(&dialog, "btnCancel"), "&Cancel");

    auto* level = Child<QComboBox>(&dialog, "cbxLevel");
    ASSERT_NE(level, nullptr);
    EXPECT_FALSE(level->isEditable());
    const char* entries[] = {"Critical - Only log critical error information.",
                             "High - Log high level debug information.",
                             "Low - Log very detail debug information."};
    const int values[] = {0, 1, 3};
    ASSERT_EQ(level->count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(level->itemText(i), entries[i]);
        EXPECT_EQ(level->itemData(i).toInt(), values[i]);
    }

    auto* folder = Child<QLineEdit>(&dialog, "edtFolder");
    auto* file = Child<QLineEdit>(&dialog, "edtFile");
    ASSERT_TRUE(folder && file);
    EXPECT_EQ(folder->text().toStdString(), m_home.DataFolder());
    EXPECT_EQ(file->text().toStdString(), m_home.DataFolder() + "appdebug.log");
    EXPECT_TRUE(folder->isReadOnly());
    EXPECT_TRUE(file->isReadOnly());
    QColor base = folder->palette().color(QPalette::Base);
    EXPECT_GT(base.green(), base.red());
    EXPECT_GT(base.green(), base.blue());
    EXPECT_GT(base.lightness(), 180) << "a light green";

    EXPECT_TRUE(SaveScreenshot(&dialog, "debug-options"));
}

TEST_F(TroubleshootingTest, DebugLevelListMapsLogLevelsByPosition) {
    struct Case {
        int logLevel;
        int position;
        int stored;
    };
    const Case cases[] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 3}, {3, 2, 3}, {7, 2, 3}, {-1, 2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logLevel);
        AppSettings.LogLevel = c.logLevel;
        TfmDebug dialog(nullptr);
        EXPECT_EQ(Child<QComboBox>(&dialog, "cbxLevel")->currentIndex(), c.position);
        Child<QPushButton>(&dialog, "btnOK")->click();
        EXPECT_EQ(AppSettings.LogLevel, c.stored);
        EXPECT_EQ(DebugLog.GetLogLevel(), c.stored);
    }

    // Chosen by the user: position 0 and 1 store themselves, the rest 3.
    const int chosen[][2] = {{0, 0}, {1, 1}, {2, 3}, {-1, 3}};
    for (const auto& choice : chosen) {
        SCOPED_TRACE(choice[0]);
        AppSettings.LogLevel = 1;
        TfmDebug dialog(nullptr);
        Child<QComboBox>(&dialog, "cbxLevel")->setCurrentIndex(choice[0]);
        Child<QPushButton>(&dialog, "btnOK")->click();
        EXPECT_EQ(AppSettings.LogLevel, choice[1]);
    }
}

TEST_F(TroubleshootingTest, DebugOkAppliesToTheLogAtOnce) {
    struct Case {
        bool enableBefore;
        bool enableAfter;
        int position;
        int level;
    };
    const Case cases[] = {{false, true, 1, 1}, {true, false, 0, 0}, {false, true, 2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        AppSettings.EnableDebug = c.enableBefore;
        AppSettings.LogLevel = 3;
        DebugLog.EnableLog(c.enableBefore);
        DebugLog.SetLogLevel(c.level == 3 ? 0 : 3);
        TfmDebug dialog(nullptr);
        dialog.show();
        auto* enable = Child<QCheckBox>(&dialog, "cbEnable");
        EXPECT_EQ(enable->isChecked(), c.enableBefore);
        enable->click();
        Child<QComboBox>(&dialog, "cbxLevel")->setCurrentIndex(c.position);
        Child<QPushButton>(&dialog, "btnOK")->click();
        EXPECT_EQ(dialog.result(), mrOK);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(AppSettings.EnableDebug, c.enableAfter);
        EXPECT_EQ(AppSettings.LogLevel, c.level);
        EXPECT_EQ(DebugLog.IsEnabled(), c.enableAfter);
        EXPECT_EQ(DebugLog.GetLogLevel(), c.level);
    }
}

TEST_F(TroubleshootingTest, DebugCancelChangesNothing) {
    AppSettings.EnableDebug = true;
    AppSettings.LogLevel = 1;
    DebugLog.EnableLog(true);
    DebugLog.SetLogLevel(1);
    for (bool byTitleBar : {false, true}) {
        SCOPED_TRACE(byTitleBar);
        TfmDebug dialog(nullptr);
        dialog.show();
        Child<QCheckBox>(&dialog, "cbEnable")->click();
        Child<QComboBox>(&dialog, "cbxLevel")->setCurrentIndex(0);
        if (byTitleBar)
            dialog.close();
        else
            Child<QPushButton>(&dialog, "btnCancel")->click();
        EXPECT_EQ(dialog.result(), mrCancel);
        EXPECT_TRUE(AppSettings.EnableDebug);
        EXPECT_EQ(AppSettings.LogLevel, 1);
        EXPECT_TRUE(DebugLog.IsEnabled());
        EXPECT_EQ(DebugLog.GetLogLevel(), 1);
    }
}

TEST_F(TroubleshootingTest, LogButtonsOpenTheFolderAndAnExistingLogOnly) {
    const std::string log = m_home.DataFolder() + "appdebug.log";
    for (const DialogKind& kind : kDialogs) {
        SCOPED_TRACE(kind.name);
        std::filesystem::remove(log);
        std::unique_ptr<QDialog> dialog = kind.make();
        dialog->show();
        ShellOpenRecorder opened;
        {
            MessageBoxRecorder boxes;
            Child<QPushButton>(dialog.get(), "btnFile")->click();
            ASSERT_EQ(boxes.requests.size(), 1u);
            const MessageBoxRequest& box = boxes.requests[0];
            EXPECT_EQ(box.text, "Debug log file doesn't exist");
            EXPECT_EQ(box.title, "Error");
            EXPECT_EQ(box.icon, MessageIcon::Information);
            EXPECT_EQ(box.buttons, MessageButtons::OK);
            EXPECT_EQ(box.owner, dialog.get());
            EXPECT_TRUE(opened.targets.empty());
        }

        WriteFileBytes(log, "a line\r\n");
        Child<QPushButton>(dialog.get(), "btnFile")->click();
        Child<QPushButton>(dialog.get(), "btnFolder")->click();
        EXPECT_EQ(opened.targets, (std::vector<std::string>{log, m_home.DataFolder()}));
        EXPECT_TRUE(dialog->isVisible()) << "the buttons leave the dialog open";
    }
}

TEST_F(TroubleshootingTest, WithoutDataFolderTheLogControlsStayEmptyAndDisabled) {
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    ScopedEnv noHome("HOME", nullptr);
    char folder[260];
    ASSERT_FALSE(GetDataFolder(folder));
    for (const DialogKind& kind : kDialogs) {
        SCOPED_TRACE(kind.name);
        std::unique_ptr<QDialog> dialog = kind.make();
        EXPECT_TRUE(Child<QLineEdit>(dialog.get(), "edtFolder")->text().isEmpty());
        EXPECT_TRUE(Child<QLineEdit>(dialog.get(), "edtFile")->text().isEmpty());
        EXPECT_FALSE(Child<QPushButton>(dialog.get(), "btnFolder")->isEnabled());
        EXPECT_FALSE(Child<QPushButton>(dialog.get(), "btnFile")->isEnabled());
    }
}

TEST_F(TroubleshootingTest, DumpDialogShowsItsControls) {
    TfmDump dialog(nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Handle Tessmark Exception");
    EXPECT_EQ(dialog.size(), QSize(562, 399));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(Text(&dialog, "Label6"), "Tessmark");
    EXPECT_EQ(Text(&dialog, "Label1"),
              "We're sorry that an unhandled exception occurred  in Tessmark.");
    EXPECT_EQ(Text(&dialog, "Label2"), "Please contact us at:");
    EXPECT_EQ(Text(&dialog, "Label3"), "It is very appreciated if you can include the debug "
                                       "information in your error report.");
    EXPECT_EQ(Child<QGroupBox>(&dialog, "GroupBox1")->title(), " Debug Information ");
    EXPECT_EQ(Text(&dialog, "btnDebug"), "&Debug Options");
    EXPECT_EQ(Text(&dialog, "btnOK"), "&OK");
    EXPECT_EQ(Text(&dialog, "btnExit"), "Quit Tessmark");
    EXPECT_EQ(Child<QLineEdit>(&dialog, "edtFolder")->text().toStdString(), m_home.DataFolder());

    auto* support = Child<QLabel>(&dialog, "lblSupport");
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->text(), kSupportEmail);
    EXPECT_TRUE(support->font().underline());
    EXPECT_EQ(support->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(support->cursor().shape(), Qt::PointingHandCursor);

    EXPECT_TRUE(SaveScreenshot(&dialog, "crash-dialog"));
}

TEST_F(TroubleshootingTest, LinksOpenTheMailAndTheHomePage) {
    ShellOpenRecorder opened;
    TfmDump dump(nullptr);
    dump.show();
    ClickWidget(Child<QWidget>(&dump, "lblSupport"));
    ClickWidget(Child<QWidget>(&dump, "Label6")); // the crash dialog's name does nothing
    TfmDebug debug(nullptr);
    debug.show();
    ClickWidget(Child<QWidget>(&debug, "Label6"));
    EXPECT_EQ(opened.targets,
              (std::vector<std::string>{
                  "mailto:support@tessmark.example?subject=Tessmark Bug Report", kHomePageUrl}));
}

TEST_F(TroubleshootingTest, DumpOpensDebugOptionsOverTheWizard) {
    QWidget wizard;
    wizard.show();
    bool sawDebug = false;
    OnNextModal<TfmDump>([&](TfmDump* dump) {
        OnNextModal<TfmDebug>([&](TfmDebug* debug) {
            sawDebug = true;
            EXPECT_EQ(debug->parentWidget(), &wizard);
            EXPECT_TRUE(dump->isVisible()) << "the crash dialog stays open beneath";
            Child<QPushButton>(debug, "btnCancel")->click();
        });
        Child<QPushButton>(dump, "btnDebug")->click();
        EXPECT_TRUE(dump->isVisible());
        Child<QPushButton>(dump, "btnOK")->click();
    });
    ShowDumpDialog(&wizard);
    EXPECT_TRUE(sawDebug);
    EXPECT_TRUE(wizard.isVisible()) << "OK closes only the crash dialog";
    QCoreApplication::processEvents();
    EXPECT_TRUE(wizard.isVisible());
}

// A wizard window that notes whether a crash dialog was still open when it
// was asked to close.
class FakeWizard : public QWidget {
public:
    int closeRequests = 0;
    bool dumpOpenAtClose = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        ++closeRequests;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (qobject_cast<TfmDump*>(top) && top->isVisible())
                dumpOpenAtClose = true;
        QWidget::closeEvent(event);
    }
};

TEST_F(TroubleshootingTest, QuitClosesTheDialogFirstAndThenTheWizard) {
    FakeWizard wizard;
    wizard.show();
    OnNextModal<TfmDump>([](TfmDump* dump) { Child<QPushButton>(dump, "btnExit")->click(); });
    ShowDumpDialog(&wizard);
    EXPECT_EQ(wizard.closeRequests, 0) << "the close request waits in the queue";
    EXPECT_TRUE(ProcessEventsUntil([&] { return wizard.closeRequests > 0; }));
    EXPECT_EQ(wizard.closeRequests, 1);
    EXPECT_FALSE(wizard.dumpOpenAtClose);
    EXPECT_FALSE(wizard.isVisible());
}

} // namespace
