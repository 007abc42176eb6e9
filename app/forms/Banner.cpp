#include "Banner.h"

#include "FormUtil.h"
#include "LinkLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

QPixmap TessmarkLogo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // A blue tile.
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(58, 142, 230));
    tile.setColorAt(1, QColor(20, 76, 170));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    // Two records, one lying on its copy.
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawRoundedRect(QRectF(s * 0.14, s * 0.14, s * 0.50, s * 0.58), s * 0.06, s * 0.06);
    p.setBrush(Qt::white);
    QRectF front(s * 0.30, s * 0.26, s * 0.50, s * 0.58);
    p.drawRoundedRect(front, s * 0.06, s * 0.06);
    p.setPen(QPen(QColor(20, 76, 170), qMax<qreal>(1, s * 0.045), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        qreal y = front.top() + s * (0.12 + 0.10 * i);
        p.drawLine(QPointF(front.left() + s * 0.08, y),
                   QPointF(front.right() - s * (i == 2 ? 0.22 : 0.08), y));
    }

    // A green mark: the copy is found.
    QRectF badge(s * 0.54, s * 0.58, s * 0.40, s * 0.40);
    p.setPen(QPen(Qt::white, qMax<qreal>(1, s * 0.04)));
    p.setBrush(QColor(46, 170, 80));
    p.drawEllipse(badge);
    QPainterPath check;
    check.moveTo(badge.left() + badge.width() * 0.25, badge.top() + badge.height() * 0.52);
    check.lineTo(badge.left() + badge.width() * 0.43, badge.top() + badge.height() * 0.70);
    check.lineTo(badge.left() + badge.width() * 0.76, badge.top() + badge.height() * 0.32);
    p.setPen(
        QPen(Qt::white, qMax<qreal>(1.5, s * 0.06), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(check);
    return pixmap;
}

TBanner::TBanner(QWidget* parent, const char* titleName, int height, int logoSize)
    : QFrame(parent) {
    setFixedHeight(height);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName("imgLogo");
    imgLogo->setPixmap(TessmarkLogo(logoSize));
    imgLogo->setFixedSize(logoSize, logoSize);
    // The picture only decorates; clicks go to the banner.
    imgLogo->setAttribute(Qt::WA_TransparentForMouseEvents);

    lblTitle = new TLinkLabel(this);
    lblTitle->setObjectName(titleName);
    lblTitle->setText(Utf8("Tessmark"));
    QFont font = lblTitle->font();
    font.setFamilies({"Verdana", "DejaVu Sans"});
    font.setBold(true);
    font.setPixelSize(26);
    lblTitle->setFont(font);
    QPalette titlePal = lblTitle->palette();
    titlePal.setColor(QPalette::WindowText, QColor(16, 72, 184));
    lblTitle->setPalette(titlePal);
    lblTitle->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 6, 14, 7);
    row->setSpacing(12);
    row->addWidget(imgLogo, 0, Qt::AlignVCenter);
    m_pText = new QVBoxLayout;
    m_pText->setSpacing(4);
    m_pText->addStretch(1);
    m_pText->addWidget(lblTitle, 0, Qt::AlignLeft);
    m_pText->addStretch(1);
    row->addLayout(m_pText, 1);
}

void TBanner::AddLine(QWidget* line) {
    m_pText->insertWidget(m_pText->count() - 1, line);
}

void TBanner::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setPen(QColor(200, 200, 200));
    p.drawLine(0, height() - 1, width(), height() - 1);
}
