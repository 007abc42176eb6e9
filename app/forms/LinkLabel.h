// A label that reports a left click, for the product name and the e-mail link.
#pragma once

#include <QLabel>

class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent = nullptr);

    // Blue, underlined text with a hand cursor: the look of a link.
    void SetLinkLook();

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_bPressed = false;
};
