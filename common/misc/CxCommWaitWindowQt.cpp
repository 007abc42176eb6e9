#include "CxCommWaitWindowQt.h"

#include "CxDebugUtil.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <memory>
#include <utility>

namespace {

const QColor kFrameColour(64, 64, 64);
const QColor kBlockColour(kWaitBlockRed, kWaitBlockGreen, kWaitBlockBlue);

QPointer<TWaitWindowWidget>& LastWidget() {
    static QPointer<TWaitWindowWidget> widget;
    return widget;
}

// Verdana when the machine has it, else the desktop's own sans font.
QFont WaitFont(bool bold) {
    QString family = QString::fromUtf8(kWaitFontName);
    if (!QFontDatabase::hasFamily(family))
        family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kWaitFontPixels);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

// The state before the first repaint: no message, no blocks.
CxWaitSnapshot EmptySnapshot() {
    CxWaitSnapshot snapshot;
    snapshot.sElapsed = "0 seconds";
    snapshot.nPlaces = WaitBlockPlaces(kWaitClientWidth);
    return snapshot;
}

// Lives on the UI thread and owns the widget there. The waiting thread only
// posts calls to it; calls posted before its deletion still run first.
class TWaitCourier : public QObject {
public:
    explicit TWaitCourier(QWidget* owner) : m_pOwner(owner) {
        m_pWidget = new TWaitWindowWidget(owner ? owner->window() : nullptr);
        LastWidget() = m_pWidget;
    }
    ~TWaitCourier() override { delete m_pWidget.data(); }

    void Show() {
        if (m_pWidget)
            m_pWidget->ShowModal();
    }
    void Repaint(const CxWaitSnapshot& snapshot) {
        if (m_pWidget)
            m_pWidget->SetSnapshot(snapshot);
    }
    void Close() {
        if (m_pWidget)
            m_pWidget->CloseWindow();
    }
    void ActivateOwner() {
        if (!m_pOwner)
            return;
        QWidget* window = m_pOwner->window();
        window->raise();
        window->activateWindow();
    }

private:
    QPointer<QWidget> m_pOwner;
    QPointer<TWaitWindowWidget> m_pWidget;
};

class CxWaitViewQt : public CxWaitView {
public:
    explicit CxWaitViewQt(QWidget* owner) : m_pCourier(new TWaitCourier(owner)) {}
    ~CxWaitViewQt() override {
        // Possibly on the waiting thread: the courier goes on its own thread.
        if (QCoreApplication::instance())
            m_pCourier->deleteLater();
    }

    void Show() override {
        Post([courier = m_pCourier] { courier->Show(); });
    }
    void Repaint(const CxWaitSnapshot& snapshot) override {
        Post([courier = m_pCourier, snapshot] { courier->Repaint(snapshot); });
    }
    void Close() override {
        Post([courier = m_pCourier] { courier->Close(); });
    }
    void ActivateOwner() override {
        Post([courier = m_pCourier] { courier->ActivateOwner(); });
    }

private:
    template <class F> void Post(F call) {
        QMetaObject::invokeMethod(m_pCourier, std::move(call), Qt::QueuedConnection);
    }

    TWaitCourier* const m_pCourier;
};

} // namespace

TWaitWindowWidget::TWaitWindowWidget(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_snapshot(EmptySnapshot()),
      m_boldFont(WaitFont(true)), m_normalFont(WaitFont(false)) {
    setObjectName("CommWaitWindow");
    setWindowTitle(QStringLiteral("Tessmark"));
    setFixedSize(kWaitWindowWidth, kWaitWindowHeight);
    // paintEvent covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TWaitWindowWidget::SetSnapshot(const CxWaitSnapshot& snapshot) {
    m_snapshot = snapshot;
    update();
}

void TWaitWindowWidget::ShowModal() {
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - kWaitWindowWidth) / 2,
             area.y() + (area.height() - kWaitWindowHeight) / 2);
    }
    m_bClosed = false;
    if (!isVisible())
        setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
}

void TWaitWindowWidget::CloseWindow() {
    m_bClosed = true;
    hide();
    setWindowModality(Qt::NonModal);
    emit closed();
}

void TWaitWindowWidget::closeEvent(QCloseEvent* event) {
    // Only the end of the wait closes the window.
    if (m_bClosed)
        event->accept();
    else
        event->ignore();
}

void TWaitWindowWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.setPen(kFrameColour);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, width() - 1, height() - 1);

    // Everything else is in client coordinates, inside the frame.
    p.translate((kWaitWindowWidth - kWaitClientWidth) / 2,
                (kWaitWindowHeight - kWaitClientHeight) / 2);
    p.fillRect(0, 0, kWaitClientWidth, kWaitClientHeight, Qt::white);
    p.setPen(Qt::black);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;

    p.setFont(m_boldFont);
    QRect message(kWaitTextLeft, kWaitMessageTop, kWaitClientWidth - 2 * kWaitTextLeft,
                  kWaitMessageBottom - kWaitMessageTop);
    QString text =
        QFontMetrics(m_boldFont)
            .elidedText(QString::fromUtf8(m_snapshot.sMessage), Qt::ElideRight, message.width());
    p.drawText(message, flags, text);

    const int bandHeight = kWaitElapsedBottom - kWaitElapsedTop;
    p.drawText(QRect(kWaitTextLeft, kWaitElapsedTop, kWaitSecondsLeft - kWaitTextLeft, bandHeight),
               flags, QString::fromUtf8(kWaitElapsedCaption));
    p.setFont(m_normalFont);
    p.drawText(QRect(kWaitSecondsLeft, kWaitElapsedTop,
                     kWaitClientWidth - kWaitSecondsLeft - kWaitTextLeft, bandHeight),
               flags, QString::fromUtf8(m_snapshot.sElapsed));

    for (const CxWaitRect& block : m_snapshot.Blocks)
        p.fillRect(block.nLeft, block.nTop, block.nWidth, block.nHeight, kBlockColour);
}

void InstallQtWaitView() {
    SetWaitViewFactory([](void* owner) -> std::unique_ptr<CxWaitView> {
        // Widgets live on the UI thread only; elsewhere the wait runs unseen.
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() != app->thread()) {
            DEBUG_LOG(LOG_HIGH, "The wait window can only be shown from the UI thread.");
            return nullptr;
        }
        return std::make_unique<CxWaitViewQt>(static_cast<QWidget*>(owner));
    });
}

TWaitWindowWidget* LastQtWaitWidget() {
    return LastWidget().data();
}
