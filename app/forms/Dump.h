// The crash dialog: apologises for an unhandled failure, offers the support
// e-mail and the debug log, and lets the user open the debug options or quit.
#pragma once

#include "FormUtil.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TBanner;
class TLinkLabel;
class TLogFolderBox;

class TfmDump : public TFixedDialog {
    Q_OBJECT
public:
    explicit TfmDump(QWidget* owner);

    TBanner* Panel1;
    TLinkLabel* Label6;
    QLabel* imgLogo;
    QLabel* Label1;
    QLabel* Label2;
    TLinkLabel* lblSupport;
    TLogFolderBox* GroupBox1;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* edtFolder;
    QPushButton* btnFolder;
    QLabel* Label5;
    QLineEdit* edtFile;
    QPushButton* btnFile;
    QPushButton* btnDebug;
    QPushButton* btnOK;
    QPushButton* btnExit;

private slots:
    void lblSupportClick();
    void btnDebugClick();
    void btnOKClick();
    void btnExitClick();
};

// Shows the dialog modally over owner (the wizard window) and destroys it.
void ShowDumpDialog(QWidget* owner);
