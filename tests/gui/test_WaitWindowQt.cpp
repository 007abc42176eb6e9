// The Qt wait window: its drawing from a snapshot of the window's state, and
// its life as the view of a running wait.
#include "CxCommWaitWindowQt.h"
#include "GuiSupport.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

using namespace testsupport;

namespace {

const QColor kBlock(0, 128, 192);
// Client coordinates start inside the 1-pixel frame.
constexpr int kFrame = 1;

QPoint BlockCentre(int index) {
    CxWaitRect r = WaitBlockRect(index);
    return QPoint(kFrame + r.nLeft + r.nWidth / 2, kFrame + r.nTop + r.nHeight / 2);
}

// A snapshot recorded from a headless window after the given number of ticks.
CxWaitSnapshot Recorded(int ticks, const char* message, int steps = 0) {
    CxCommWaitWindow window;
    window.OnCreate();
    window.SetMessage(message);
    for (int i = 0; i < steps; ++i)
        window.Step();
    for (int i = steps; i < ticks; ++i)
        window.OnTick(CxCommWaitWindow::kTickId);
    return window.GetSnapshot();
}

// True when some pixel of the rectangle is dark (text was drawn there).
bool HasInk(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

struct BlockCase {
    int ticks;
    int blocks; // ticks modulo the 18 places of the standard window
};

class WaitWindowDrawing : public ::testing::TestWithParam<BlockCase> {};

TEST_P(WaitWindowDrawing, DrawsTheBlocksOfTheSnapshotOnWhite) {
    IsolatedHome home;
    const BlockCase& c = GetParam();
    TWaitWindowWidget widget;
    widget.SetSnapshot(Recorded(c.ticks, "Loading salesforce CRM Contacts..."));
    QImage image = widget.grab().toImage();
    ASSERT_EQ(QSize(480, 150), image.size());

    for (int i = 0; i < 18; ++i) {
        QColor expected = i < c.blocks ? kBlock : QColor(Qt::white);
        EXPECT_EQ(expected, image.pixelColor(BlockCentre(i))) << "place " << i;
    }
    // The gap between two blocks and the area below the bar stay white.
    EXPECT_EQ(QColor(Qt::white), image.pixelColor(kFrame + 20 + 22, kFrame + 106));
    EXPECT_EQ(QColor(Qt::white), image.pixelColor(kFrame + 240, kFrame + 130));
    // The frame is drawn all round.
    EXPECT_NE(QColor(Qt::white), image.pixelColor(0, 0));
    EXPECT_NE(QColor(Qt::white), image.pixelColor(479, 149));
}

INSTANTIATE_TEST_SUITE_P(Ticks, WaitWindowDrawing,
                         ::testing::Values(BlockCase{0, 0}, BlockCase{1, 1}, BlockCase{17, 17},
                                           BlockCase{18, 0}, BlockCase{20, 2}));

TEST(WaitWindowQt, DrawsTheMessageTheCaptionAndTheSeconds) {
    IsolatedHome home;
    TWaitWindowWidget widget;
    // 25 steps of 100 ms: 2.5 seconds show as 2.
    CxWaitSnapshot snapshot = Recorded(25, "Loading salesforce CRM Tasks...", 25);
    EXPECT_EQ("2 seconds", snapshot.sElapsed);
    widget.SetSnapshot(snapshot);
    QImage image = widget.grab().toImage();

    EXPECT_TRUE(HasInk(image, QRect(kFrame + 20, kFrame + 10, 200, 30)));  // message
    EXPECT_TRUE(HasInk(image, QRect(kFrame + 20, kFrame + 50, 110, 12)));  // "Time Elapsed:"
    EXPECT_TRUE(HasInk(image, QRect(kFrame + 140, kFrame + 50, 80, 12)));  // "2 seconds"
    EXPECT_FALSE(HasInk(image, QRect(kFrame + 20, kFrame + 85, 440, 10))); // above the bar

    widget.SetSnapshot(Recorded(0, ""));
    image = widget.grab().toImage();
    EXPECT_FALSE(HasInk(image, QRect(kFrame + 20, kFrame + 10, 400, 30)));
}

TEST(WaitWindowQt, RunningWaitShowsAModalToolWindowAndActivatesTheOwnerAtTheEnd) {
    IsolatedHome home;
    InstallQtWaitView();
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    QWidget* client = new QWidget(&owner);

    ASSERT_TRUE(StartWaitWindow(client));
    SetWaitMessage("Loading salesforce CRM Calendar...");
    TWaitWindowWidget* widget = LastQtWaitWidget();
    ASSERT_NE(nullptr, widget);
    ASSERT_TRUE(ProcessEventsUntil(
        [widget] { return widget->isVisible() && widget->Snapshot().nTicks >= 3; }));

    EXPECT_EQ("Loading salesforce CRM Calendar...", widget->Snapshot().sMessage);
    EXPECT_TRUE(widget->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(widget->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(Qt::ApplicationModal, widget->windowModality());
    EXPECT_EQ(widget, QApplication::activeModalWidget());
    EXPECT_TRUE(ProcessEventsUntil([widget] { return widget->isActiveWindow(); }, 5000));
    EXPECT_FALSE(owner.isActiveWindow());
    EXPECT_EQ(QSize(480, 150), widget->size());
    QRect area = widget->screen()->availableGeometry();
    EXPECT_EQ(QPoint(area.x() + (area.width() - 480) / 2, area.y() + (area.height() - 150) / 2),
              widget->pos());
    // The window does not go away on the window system's request.
    EXPECT_FALSE(widget->close());
    EXPECT_TRUE(widget->isVisible());

    StopWaitWindow();
    ASSERT_TRUE(WaitForWaitWindowEnd(5000));
    EXPECT_TRUE(ProcessEventsUntil([widget] { return !widget->isVisible(); }, 5000));
    EXPECT_TRUE(widget->IsClosed());
    EXPECT_NE(widget, QApplication::activeModalWidget());
    EXPECT_TRUE(ProcessEventsUntil([&owner] { return owner.isActiveWindow(); }, 5000));
    SetWaitViewFactory(nullptr);
}

} // namespace
