// Opening addresses and paths in the desktop (help, token help, product name,
// support link, log folder and log file) through the real xdg-open launch:
// when xdg-open is missing or fails, the user gets a box with the address or
// path to copy, owned by the window that asked.
#include "Debugger.h"
#include "Dump.h"
#include "LinkLabel.h"
#include "Links.h"
#include "WizardSupport.h"

#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

using namespace testsupport;

namespace {

// Lets ShellOpen start xdg-open for real, from a PATH that holds only dir.
class RealShellOpen {
public:
    explicit RealShellOpen(const std::string& dir) : m_path("PATH", dir.c_str()) {
        SetShellOpenHook(nullptr);
    }
    ~RealShellOpen() { InstallUnexpectedShellOpenHook(); }
    RealShellOpen(const RealShellOpen&) = delete;
    RealShellOpen& operator=(const RealShellOpen&) = delete;

private:
    ScopedEnv m_path;
};

// An xdg-open that ends with status at once.
std::string StubXdgOpen(const TempDir& dir, int status) {
    const std::string script = dir.Path("xdg-open");
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nexit " << status << "\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return dir.Folder() + ":/usr/bin:/bin";
}

class DesktopOpen : public WizardTest {
protected:
    void SetUp() override {
        OpenWizard();
        std::filesystem::create_directories(home.DataFolder());
        WriteFileBytes(home.DataFolder() + "appdebug.log", "a line\n");
    }
};

struct OpenCase {
    const char* name;
    // Clicks the control in a window it may open (kept in windows); gives
    // the window that should own the box.
    std::function<QWidget*(std::vector<std::unique_ptr<QWidget>>& windows)> click;
    std::function<std::string(const IsolatedHome& home)> target;
};

template <class TDialog> TDialog* Open(std::vector<std::unique_ptr<QWidget>>& windows) {
    auto* dialog = new TDialog(fmMain);
    windows.emplace_back(dialog);
    dialog->show();
    QCoreApplication::processEvents();
    return dialog;
}

const OpenCase kOpenCases[] = {
    {"Help",
     [](auto&) {
         ClickWidget(fmMain->btnHelp);
         return static_cast<QWidget*>(fmMain);
     },
     [](const IsolatedHome&) { return HelpPagePath(); }},
    {"TokenHelp",
     [](auto&) {
         ClickWidget(SourcePage->lblTokenHelp);
         return static_cast<QWidget*>(SourcePage);
     },
     [](const IsolatedHome&) { return std::string(kTokenHelpUrl); }},
    {"ProductName",
     [](auto& windows) {
         TfmDebug* dialog = Open<TfmDebug>(windows);
         ClickWidget(dialog->Label6);
         return static_cast<QWidget*>(dialog);
     },
     [](const IsolatedHome&) { return std::string(kHomePageUrl); }},
    {"SupportLink",
     [](auto& windows) {
         TfmDump* dialog = Open<TfmDump>(windows);
         ClickWidget(dialog->lblSupport);
         return static_cast<QWidget*>(dialog);
     },
     [](const IsolatedHome&) { return BugReportMailto(); }},
    {"LogFolder",
     [](auto& windows) {
         TfmDebug* dialog = Open<TfmDebug>(windows);
         ClickWidget(dialog->btnFolder);
         return static_cast<QWidget*>(dialog);
     },
     [](const IsolatedHome& home) { return home.DataFolder(); }},
    {"LogFile",
     [](auto& windows) {
         TfmDump* dialog = Open<TfmDump>(windows);
         ClickWidget(dialog->btnFile);
         return static_cast<QWidget*>(dialog);
     },
     [](const IsolatedHome& home) { return home.DataFolder() + "appdebug.log"; }},
};

TEST_F(DesktopOpen, WithoutXdgOpenEachLinkShowsItsAddressOrPath) {
    TempDir empty;
    RealShellOpen shell(empty.Folder());
    for (const OpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.name);
        MessageBoxRecorder boxes;
        std::vector<std::unique_ptr<QWidget>> windows;
        QWidget* owner = c.click(windows);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !boxes.requests.empty(); }, 5000));
        ASSERT_EQ(boxes.requests.size(), 1u);
        const MessageBoxRequest& box = boxes.requests[0];
        EXPECT_EQ(box.owner, owner);
        EXPECT_EQ(box.title.toStdString(), "Error");
        EXPECT_NE(box.text.toStdString().find("\n" + c.target(home) + "\n"), std::string::npos)
            << box.text.toStdString();
    }
}

// An xdg-open that fails (no handler: status 3) is told after it ended; one
// that opened says nothing.
TEST_F(DesktopOpen, AFailingXdgOpenIsToldAndASucceedingOneIsNot) {
    const struct {
        int status;
        size_t boxes;
    } kCases[] = {{3, 1}, {0, 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.status);
        TempDir dir;
        RealShellOpen shell(StubXdgOpen(dir, c.status));
        MessageBoxRecorder boxes;
        ClickWidget(fmMain->btnHelp);
        ProcessEventsUntil([&] { return !boxes.requests.empty(); }, c.boxes ? 10000 : 800);
        ASSERT_EQ(boxes.requests.size(), c.boxes);
        if (c.boxes) {
            EXPECT_NE(boxes.requests[0].text.toStdString().find(HelpPagePath()), std::string::npos);
        }
    }
}

// The real box lets the user select the path, to copy it.
TEST_F(DesktopOpen, TheBoxTextCanBeSelectedAndCopied) {
    TempDir empty;
    RealShellOpen shell(empty.Folder());
    SetMessageBoxHook(nullptr);
    bool seen = false;
    Qt::TextInteractionFlags flags;
    QString text;
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        seen = true;
        flags = box->textInteractionFlags();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    ClickWidget(fmMain->btnHelp);
    ProcessEventsUntil([&] { return seen; }, 5000);
    InstallUnexpectedMessageBoxHook();

    ASSERT_TRUE(seen);
    EXPECT_TRUE(flags.testFlag(Qt::TextSelectableByMouse));
    EXPECT_TRUE(text.contains(QString::fromStdString(HelpPagePath())));
}

} // namespace
