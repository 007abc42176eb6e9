// The wizard under the user's hands: input made while the program is busy is
// dropped, never carried out on the page that follows; the keyboard starts in
// the user name, Enter presses Next and Restart puts the focus in the first
// empty field.
#include "CrmFixture.h"
#include "DupMatch.h"
#include "RecordListView.h"
#include "Sfclean.h"
#include "Sfdata.h"
#include "WizardSupport.h"
#include "WorkRunner.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <thread>

using namespace testsupport;

namespace {

// A click that waits in the event queue of the wizard's window: it reaches
// whatever widget lies under the point when it is delivered, as a click the
// user made while the program was busy does.
void QueueClick(QPoint inWindow) {
    QWindow* window = fmMain->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPointF at(inWindow);
    const QPointF global = fmMain->mapToGlobal(at);
    QCoreApplication::postEvent(window,
                                new QMouseEvent(QEvent::MouseButtonPress, at, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(window,
                                new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

// The middle of a widget in the wizard window's coordinates.
QPoint CenterInWindow(QWidget* widget) {
    return widget->mapTo(fmMain, widget->rect().center());
}

// A key typed on the wizard's window: it goes to the widget with the focus.
void TypeKey(int key, const QString& text = QString(),
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWindow* window = fmMain->windowHandle();
    ASSERT_NE(window, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(window, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(window, &release);
}

void TypeText(const QString& text) {
    for (QChar c : text)
        TypeKey(c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - 'A') : Qt::Key_unknown, c);
}

std::string FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName().toStdString() : std::string("(none)");
}

int CountRows(const std::string& db, const char* table) {
    sqlite3* handle = nullptr;
    int count = -1;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        const std::string sql = std::string("SELECT COUNT(*) FROM ") + table;
        if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
    return count;
}

// Against a local org through the real helper, which pauses after every
// record so that loading takes about a second.
class BusyWizard : public WizardTest {
protected:
    void SetUp() override {
        char folder[260];
        ASSERT_TRUE(GetModuleFolder(nullptr, folder));
        const std::string tool = std::string(folder) + "tessmark-sample-org";
        ASSERT_TRUE(FileExists(tool)) << "build the helper programs first";
        m_org = home.Home() + "org.db";
        const QStringList args = {"--out",      QString::fromStdString(m_org),
                                  "--contacts", "0",
                                  "--accounts", "0",
                                  "--leads",    "0",
                                  "--events",   "25",
                                  "--tasks",    "0",
                                  "--notes",    "0",
                                  "--dup-rate", "0.4",
                                  "--seed",     "3"};
        ASSERT_EQ(0, QProcess::execute(QString::fromStdString(tool), args));
        std::filesystem::create_directories(home.DataFolder());
        WriteFileBytes(home.DataFolder() + "Velmora.SFHelper.ini",
                       "[Helper]\nLocalOrg=" + m_org + "\nRecordDelayMs=40\n");
        SetDefaultRules(AppSettings);
        OpenWizard();
        SourcePage->rbtnDate->click();
        EnterCredentials();
    }

    // Lets everything queued happen, and a clean-up run that was wrongly
    // started (one second after its page) as well.
    static void Settle() {
        ProcessEventsUntil([] { return false; }, 1600);
        ProcessEventsUntil([] { return !IsWorkRunning(); }, 30000);
    }

    std::string m_org;
};

// Two quick clicks on Next: the first loads (about a second), the second,
// made meanwhile, must not act on the review page.
TEST_F(BusyWizard, DoubleNextWithASlowHelperEndsOnTheReviewPage) {
    const int events = CountRows(m_org, "Event");
    ASSERT_GT(events, 0);
    const auto started = std::chrono::steady_clock::now();
    QueueClick(CenterInWindow(fmMain->btnNext));
    QueueClick(CenterInWindow(fmMain->btnNext));
    ASSERT_TRUE(ProcessEventsUntil([] { return fmMain->CurrentStep == 1 && !IsWorkRunning(); }));
    EXPECT_GT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(700))
        << "the helper should take about a second";
    Settle();

    EXPECT_EQ(fmMain->CurrentStep, 1);
    EXPECT_TRUE(DataPage->isVisible());
    EXPECT_GT(DataPage->lvDate->Model()->RowCount(), 0);
    EXPECT_TRUE(CleanPage->memLog->toPlainText().isEmpty());
    EXPECT_EQ(CountRows(m_org, "Event"), events);
}

// A click queued while loading and matching ran, on a spot that is empty on
// the access page but holds a check box of the review list: no row unticks.
TEST_F(BusyWizard, ClickQueuedDuringTheWorkDoesNotUntickAReviewRow) {
    // Where the first row's check box lies, from a first visit.
    fmMain->btnNext->click();
    ASSERT_EQ(fmMain->CurrentStep, 1);
    TRecordListView* list = DataPage->lvDate;
    ASSERT_GT(list->Model()->RowCount(), 0);
    const QRect box = CheckBoxRect(*list, list->model()->index(0, 0));
    const QPoint target = list->viewport()->mapTo(fmMain, box.center());
    fmMain->btnPrev->click();
    ASSERT_EQ(fmMain->CurrentStep, 0);
    QWidget* under = fmMain->childAt(target);
    ASSERT_TRUE(!under || !qobject_cast<QAbstractButton*>(under)) << "not an empty spot";

    // Queued from the worker, once while loading and once at the end of matching.
    std::atomic<int> queued{0};
    SetFindDupsHook([&queued, target] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        QMetaObject::invokeMethod(
            qApp, [target] { QueueClick(target); }, Qt::QueuedConnection);
        ++queued;
    });
    QTimer during;
    during.setSingleShot(true);
    QObject::connect(&during, &QTimer::timeout, [target, &queued] {
        QueueClick(target);
        ++queued;
    });
    during.start(300);
    fmMain->btnNext->click();
    SetFindDupsHook(nullptr);
    Settle();

    EXPECT_EQ(queued.load(), 2);
    ASSERT_EQ(fmMain->CurrentStep, 1);
    ASSERT_GT(list->Model()->RowCount(), 0);
    EXPECT_TRUE(list->Model()->IsTicked(0));
    // The spot takes a click of the user now.
    QueueClick(target);
    QCoreApplication::processEvents();
    EXPECT_FALSE(list->Model()->IsTicked(0));
}

class WizardKeyboard : public WizardTest {
protected:
    void SetUp() override {
        SetLoadCrmDataHook([] { return true; });
        OpenWizard();
    }
};

TEST_F(WizardKeyboard, TypingAtStartGoesIntoTheUserNameAndTabFollowsTheFields) {
    EXPECT_EQ(FocusName(), "edtUserName");
    TypeText("demo");
    EXPECT_EQ(SourcePage->edtUserName->text().toStdString(), "demo");
    for (const char* next : {"edtPassword", "cbSaveUser", "cbSavePassword", "edtToken"}) {
        TypeKey(Qt::Key_Tab);
        EXPECT_EQ(FocusName(), next);
    }
}

// Enter presses Next on the access page (from a field) and on the review
// page (from the list); at the clean-up step Next is off and Enter does nothing.
TEST_F(WizardKeyboard, EnterPressesNextOnTheAccessAndReviewPages) {
    EXPECT_TRUE(fmMain->btnNext->isDefault());
    EnterCredentials();
    SourcePage->edtToken->setFocus();
    TypeKey(Qt::Key_Return);
    ASSERT_EQ(fmMain->CurrentStep, 1);

    DataPage->lvAddr->setFocus();
    TypeKey(Qt::Key_Enter, QString(), Qt::KeypadModifier);
    ASSERT_EQ(fmMain->CurrentStep, 2);
    CleanPage->StopPendingRun();

    TypeKey(Qt::Key_Return);
    EXPECT_EQ(fmMain->CurrentStep, 2);
    EXPECT_NE(fmMain, nullptr);
}

// After Restart the focus is in the first empty field, so a Space typed next
// lands there instead of pressing "&Finish".
TEST_F(WizardKeyboard, RestartPutsTheFocusInTheFirstEmptyField) {
    const struct {
        const char* name;
        bool savePassword;
        const char* focus;
    } kCases[] = {{"PasswordForgotten", false, "edtPassword"},
                  {"EverythingKept", true, "edtUserName"}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EnterCredentials();
        SourcePage->cbSavePassword->setChecked(c.savePassword);
        fmMain->btnNext->click();
        fmMain->btnNext->click();
        ASSERT_EQ(fmMain->CurrentStep, 2);
        CleanPage->StopPendingRun();
        // Not remembered: the next visit starts without it.
        if (!c.savePassword)
            AppSettings.Password[0] = '\0';
        fmMain->btnPrev->setFocus();
        TypeKey(Qt::Key_Space, QStringLiteral(" "));
        ASSERT_EQ(fmMain->CurrentStep, 0);

        EXPECT_EQ(FocusName(), c.focus);
        TypeKey(Qt::Key_Space, QStringLiteral(" "));
        EXPECT_NE(fmMain, nullptr);
        EXPECT_TRUE(fmMain->isVisible());
        EXPECT_EQ(fmMain->CurrentStep, 0);
    }
}

// Next pressed on the review page and released after Prev (by keyboard) has
// gone back to the access page asks for nothing: no second load.
TEST_F(WizardKeyboard, AClickPressedOnAnEarlierPageIsIgnored) {
    int loads = 0;
    SetLoadCrmDataHook([&loads] {
        ++loads;
        return true;
    });
    EnterCredentials();
    fmMain->btnNext->click();
    ASSERT_EQ(fmMain->CurrentStep, 1);
    ASSERT_EQ(loads, 1);

    const QPointF at(fmMain->btnNext->rect().center());
    QMouseEvent press(QEvent::MouseButtonPress, at, fmMain->btnNext->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(fmMain->btnNext, &press);
    fmMain->btnPrev->setFocus();
    TypeKey(Qt::Key_Space, QStringLiteral(" "));
    ASSERT_EQ(fmMain->CurrentStep, 0);
    QMouseEvent release(QEvent::MouseButtonRelease, at, fmMain->btnNext->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(fmMain->btnNext, &release);
    EXPECT_EQ(fmMain->CurrentStep, 0);
    EXPECT_EQ(loads, 1);

    // A click made on the page shown goes on.
    ClickWidget(fmMain->btnNext);
    EXPECT_EQ(fmMain->CurrentStep, 1);
    EXPECT_EQ(loads, 2);
}

} // namespace
