// The access page, step 0 of the wizard: the salesforce credentials, the kind
// of record to clean and, for contacts, the objects they come from. With the
// browser sign-in (chosen in the Connection dialog) only the user name is
// asked for: the password and the security token are then out of use.
#pragma once

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TLinkLabel;

class TfmSFSource : public QWidget {
    Q_OBJECT
public:
    explicit TfmSFSource(QWidget* parent);

    // leaving false: fills the controls from AppSettings (always true).
    // leaving true: checks each field and stores it in AppSettings as soon as
    // it has passed, then loads the chosen kind under the wait window; false
    // (after telling the user) when a field is refused or loading failed.
    // With the browser sign-in the password and the token are neither checked
    // nor stored.
    bool UpdateData(bool leaving);

    QGroupBox* GroupBox1;
    QLabel* lblUserName;
    QLineEdit* edtUserName;
    QLabel* lblPassword;
    QLineEdit* edtPassword;
    QCheckBox* cbSaveUser;
    QCheckBox* cbSavePassword;
    QLabel* lblToken;
    QLineEdit* edtToken;
    TLinkLabel* lblTokenHelp;
    QCheckBox* cbSaveToken;
    QGroupBox* GroupBox2;
    QRadioButton* rbtnAddr;
    QRadioButton* rbtnDate;
    QRadioButton* rbtnTask;
    QLabel* Label2;
    QCheckBox* cbAddrContact;
    QCheckBox* cbAddrAccount;
    QCheckBox* cbAddrLead;
    QPushButton* btnDupOption;
    QPushButton* btnConnection;

public slots:
    void rbtnAddrClick();
    void rbtnDateClick();
    void rbtnTaskClick();
    void btnDupOptionClick();
    void btnConnectionClick();
    void lblTokenHelpClick();

private:
    bool Fill();
    bool TakeAndLoad();
    // Loads the chosen kind under the wait window; tells the user when it fails.
    bool Load();
    void EnableContactSources(bool enabled);
    // The password and token controls are usable only with the password
    // sign-in of the connection in AppSettings.
    void EnableCredentials();
    // Shows a validation message, focuses control and refuses.
    bool Refuse(QWidget* control, const char* message);
};
