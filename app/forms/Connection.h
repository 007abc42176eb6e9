// The dialog that chooses what the helper programs connect to: Salesforce,
// a Salesforce sandbox, the org's own My Domain address, or a local org kept
// in an SQLite file; and for the three salesforce choices how the helper signs
// in: with password and security token, or in the web browser through the
// org's client app. It edits AppSettings in memory; the choice is written to
// the settings file with the others when the program ends. Sign Out has the
// helper end and forget its browser sign-in at once.
#pragma once

#include "FormUtil.h"

#include <QString>

struct TAppSettings;

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfmConnection : public TFixedDialog {
    Q_OBJECT
public:
    explicit TfmConnection(QWidget* owner);

    // leaving false: the choices, the address, the path, the consumer key and
    // the callback address from AppSettings, and the user name Sign Out is for
    // (always true). leaving true: checks the fields of the chosen connection
    // and sign-in and, once they have passed, stores the choices with their
    // fields; false (after telling the user, with the field focused) when one
    // is refused, and then nothing is stored.
    bool UpdateData(bool leaving);

    // The salesforce user name Sign Out is for; UpdateData(false) takes the
    // stored one, the access page then gives what its field holds.
    void SetUserName(const QString& userName) { m_userName = userName; }

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
    QGroupBox* GroupBox2;
    QRadioButton* rbtnPassword;
    QRadioButton* rbtnBrowser;
    QLabel* lblConsumerKey;
    QLineEdit* edtConsumerKey;
    QLabel* lblCallbackUrl;
    QLineEdit* edtCallbackUrl;
    QPushButton* btnCopyCallback;
    QLabel* lblCallbackHint;
    QPushButton* btnSignOut;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private slots:
    void rbtnConnectionClick();
    void rbtnSignInClick();
    void btnBrowseClick();
    void btnCopyCallbackClick();
    void btnSignOutClick();
    void btnOKClick();
    void btnCancelClick();

private:
    bool Fill();
    // Checks every field the choices need and, only when all have passed,
    // stores the choices with their fields in s; false after a refusal.
    bool Collect(TAppSettings& s);
    // The fields are usable only with their own choice; the sign-in applies
    // to the salesforce choices only.
    void EnableFields();
    // Shows a validation message, focuses control and refuses.
    bool Refuse(QWidget* control, const QString& message);

    QString m_userName;
};
