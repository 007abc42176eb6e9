// How the forms lay out their texts, in the desktop's font and in a larger
// one: the clean-up log's rule fits without scrolling, the rules dialog keeps
// each explanation on one line, the debug options leave no wide empty band.
#include "Debugger.h"
#include "Dupoption.h"
#include "GuiSupport.h"
#include "LogFolderBox.h"
#include "Sfclean.h"
#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <memory>

using namespace testsupport;

namespace {

// The application font at a point size, put back at the end.
class ScopedAppFont {
public:
    explicit ScopedAppFont(qreal pointSize) : m_saved(QApplication::font()) {
        if (pointSize > 0) {
            QFont font = m_saved;
            font.setPointSizeF(pointSize);
            QApplication::setFont(font);
        }
    }
    ~ScopedAppFont() { QApplication::setFont(m_saved); }
    ScopedAppFont(const ScopedAppFont&) = delete;
    ScopedAppFont& operator=(const ScopedAppFont&) = delete;

private:
    QFont m_saved;
};

// 0: the desktop's own font.
const qreal kFontSizes[] = {0, 14, 18};

TEST(FormLayout, TheCleanUpRuleFitsTheLogWithoutScrolling) {
    IsolatedHome home;
    for (qreal size : kFontSizes) {
        SCOPED_TRACE(size);
        ScopedAppFont font(size);
        QWidget host;
        host.resize(794, 427);
        auto* page = new TfmSFClean(&host);
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        host.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(page->UpdateData(false));
        page->StopPendingRun();
        QCoreApplication::processEvents();

        QPlainTextEdit* log = page->memLog;
        ASSERT_TRUE(log->toPlainText().contains(QString(80, QLatin1Char('='))));
        EXPECT_EQ(log->horizontalScrollBar()->maximum(), 0);
        EXPECT_FALSE(log->horizontalScrollBar()->isVisible());
        EXPECT_GT(log->font().pointSizeF(), 5.0);
    }
}

TEST(FormLayout, TheRulesDialogKeepsEachExplanationOnOneLine) {
    for (qreal size : kFontSizes) {
        SCOPED_TRACE(size);
        ScopedAppFont font(size);
        TfmDupOption dialog(nullptr);
        dialog.show();
        QCoreApplication::processEvents();
        for (QLabel* label : {dialog.Label1, dialog.Label2}) {
            SCOPED_TRACE(label->objectName().toStdString());
            EXPECT_LT(label->height(), 2 * label->fontMetrics().lineSpacing());
            EXPECT_LE(label->geometry().right(), dialog.width());
        }
    }
}

// No gap between the dialog's blocks (switch and level, log information,
// buttons) is much wider than the others.
TEST(FormLayout, TheDebugOptionsLeaveNoWideBandAboveTheButtons) {
    IsolatedHome home;
    TfmDebug dialog(nullptr);
    dialog.show();
    QCoreApplication::processEvents();
    auto top = [&dialog](QWidget* w) { return w->mapTo(&dialog, QPoint(0, 0)).y(); };
    auto bottom = [&](QWidget* w) { return top(w) + w->height(); };
    const int aboveBox = top(dialog.GroupBox1) - bottom(dialog.cbxLevel);
    const int aboveButtons = top(dialog.btnOK) - bottom(dialog.GroupBox1);
    EXPECT_LE(aboveButtons, 60);
    EXPECT_LE(aboveButtons, aboveBox + 16);
    EXPECT_EQ(dialog.size(), QSize(553, 396));
}

} // namespace
