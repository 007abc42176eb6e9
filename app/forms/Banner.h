// The white banner at the top of the wizard and its dialogs: the program's
// logo and the name "Tessmark" in large bold blue letters.
#pragma once

#include <QFrame>
#include <QPixmap>

class QLabel;
class QVBoxLayout;
class TLinkLabel;

// The program's mark, drawn at size x size pixels.
QPixmap TessmarkLogo(int size);

class TBanner : public QFrame {
    Q_OBJECT
public:
    // titleName is the object name of the product name label ("Label1" in the
    // wizard, "Label6" in the dialogs); the logo is always "imgLogo".
    TBanner(QWidget* parent, const char* titleName, int height, int logoSize = 48);

    QLabel* imgLogo;
    TLinkLabel* lblTitle;

    // Adds a line below the product name (the wizard's step text).
    void AddLine(QWidget* line);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_pText;
};
