// The dialog that chooses what the helper programs connect to: Salesforce,
// a Salesforce sandbox, the org's own My Domain address, or a local org kept
// in an SQLite file. It edits AppSettings in memory; the choice is written to
// the settings file with the others when the program ends.
#pragma once

#include "FormUtil.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfmConnection : public TFixedDialog {
    Q_OBJECT
public:
    explicit TfmConnection(QWidget* owner);

    // leaving false: the choice, the address and the path from AppSettings
    // (always true). leaving true: checks the field of the chosen connection
    // and, once it has passed, stores the choice with its field; false (after
    // telling the user, with the field focused) when it is refused, and then
    // nothing is stored.
    bool UpdateData(bool leaving);

    QLabel* Label1;
    QGroupBox* GroupBox1;
    QRadioButton* rbtnSalesforce;
    QLabel* lblSalesforceUrl;
    QRadioButton* rbtnSandbox;
    QLabel* lblSandboxUrl;
    QRadioButton* rbtnMyDomain;
    QLineEdit* edtMyDomain;
    QRadioButton* rbtnLocalOrg;
    QLineEdit* edtLocalOrg;
    QPushButton* btnBrowse;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private slots:
    void rbtnConnectionClick();
    void btnBrowseClick();
    void btnOKClick();
    void btnCancelClick();

private:
    bool Fill();
    bool Take();
    // The two fields are usable only with their own choice.
    void EnableFields();
    // Shows a validation message, focuses control and refuses.
    bool Refuse(QWidget* control, const QString& message);
};
