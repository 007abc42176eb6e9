// The debug options dialog: switches the debug log on or off, picks its level
// and shows where the log lies.
#pragma once

#include "FormUtil.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TBanner;
class TLinkLabel;
class TLogFolderBox;

class TfmDebug : public TFixedDialog {
    Q_OBJECT
public:
    explicit TfmDebug(QWidget* owner);

    // The level list position that shows a LogLevel, and the LogLevel a
    // position stands for (no selection counts as the last entry).
    static int LevelToPosition(int logLevel);
    static int PositionToLevel(int position);

    TBanner* Panel1;
    TLinkLabel* Label6;
    QLabel* imgLogo;
    QCheckBox* cbEnable;
    QLabel* Label1;
    QComboBox* cbxLevel;
    TLogFolderBox* GroupBox1;
    QLabel* Label4;
    QLineEdit* edtFolder;
    QPushButton* btnFolder;
    QLabel* Label5;
    QLineEdit* edtFile;
    QPushButton* btnFile;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private slots:
    void btnOKClick();
    void btnCancelClick();
};

// Shows the dialog modally over owner and destroys it.
void ShowDebugDialog(QWidget* owner);
