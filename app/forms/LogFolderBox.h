// The " Debug Information " box both troubleshooting dialogs share: where the
// data folder and the debug log lie, each with a button that opens it.
#pragma once

#include <QGroupBox>

class QLabel;
class QLineEdit;
class QPushButton;

class TLogFolderBox : public QGroupBox {
    Q_OBJECT
public:
    // intro, when given, is shown above the folder line.
    explicit TLogFolderBox(QWidget* parent, QWidget* intro = nullptr);

    QLabel* Label4;
    QLineEdit* edtFolder;
    QPushButton* btnFolder;
    QLabel* Label5;
    QLineEdit* edtFile;
    QPushButton* btnFile;

private slots:
    void btnFolderClick();
    void btnFileClick();

private:
    // Shows the data folder and the log path; without a data folder both
    // stay empty and neither button can be pressed.
    void FillLogControls();
};
