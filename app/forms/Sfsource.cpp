#include "Sfsource.h"

#include "Apputil.h"
#include "Connection.h"
#include "ConnectionTarget.h"
#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "CxDebugUtil.h"
#include "CxText.h"
#include "Dump.h"
#include "Dupoption.h"
#include "FormUtil.h"
#include "LinkLabel.h"
#include "Links.h"
#include "Main.h"
#include "MessageBox.h"
#include "Sfdata.h"
#include "WorkRunner.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <string>

namespace {

const char kLoadingText[] = "Loading salesforce information, please wait ...";
const char kRetrieveFailed[] = "Can not retrieve your salesforce information. Please make sure "
                               "that you entered the correct salesforce access options.";
const char kNoContactSource[] =
    "Please select at least one Contact source type, Contact, Account or Lead.";

constexpr int kCredentialWidth = 240;
constexpr int kTokenWidth = 380;

template <size_t N> QString FieldText(const char (&field)[N]) {
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, N)));
}

QLabel* NewLabel(QWidget* parent, const char* name, const char* text) {
    return Named(new QLabel(Utf8(text), parent), name);
}

QCheckBox* NewCheckBox(QWidget* parent, const char* name, const char* caption) {
    return Named(new QCheckBox(Utf8(caption), parent), name);
}

QRadioButton* NewRadioButton(QWidget* parent, const char* name, const char* caption) {
    return Named(new QRadioButton(Utf8(caption), parent), name);
}

} // namespace

TfmSFSource::TfmSFSource(QWidget* parent) : QWidget(parent) {
    setObjectName("fmSFSource");

    GroupBox1 = Named(new QGroupBox(Utf8(" SalesForce Login Settings "), this), "GroupBox1");
    lblUserName = NewLabel(GroupBox1, "lblUserName", "User:");
    edtUserName = Named(new QLineEdit(GroupBox1), "edtUserName");
    edtUserName->setFixedWidth(kCredentialWidth);
    lblPassword = NewLabel(GroupBox1, "lblPassword", "Password:");
    edtPassword = Named(new QLineEdit(GroupBox1), "edtPassword");
    edtPassword->setFixedWidth(kCredentialWidth);
    edtPassword->setEchoMode(QLineEdit::Password);
    // One "*" for every character, whatever the desktop style would use.
    edtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    cbSaveUser = NewCheckBox(GroupBox1, "cbSaveUser", "Remember User Name");
    cbSavePassword = NewCheckBox(GroupBox1, "cbSavePassword", "Remember Password");
    lblToken = NewLabel(GroupBox1, "lblToken", "Security Token:");
    edtToken = Named(new QLineEdit(GroupBox1), "edtToken");
    edtToken->setFixedWidth(kTokenWidth);
    lblTokenHelp = Named(new TLinkLabel(GroupBox1), "lblTokenHelp");
    lblTokenHelp->setText(Utf8("What is the Security Token?"));
    lblTokenHelp->SetLinkLook();
    cbSaveToken = NewCheckBox(GroupBox1, "cbSaveToken", "Remember Security Token");
    lblUserName->setBuddy(edtUserName);
    lblPassword->setBuddy(edtPassword);
    lblToken->setBuddy(edtToken);

    auto* login = new QGridLayout(GroupBox1);
    login->setContentsMargins(18, 16, 18, 14);
    login->setHorizontalSpacing(12);
    login->setVerticalSpacing(9);
    login->addWidget(lblUserName, 0, 0);
    login->addWidget(edtUserName, 0, 1);
    login->addWidget(cbSaveUser, 0, 2);
    login->addWidget(lblPassword, 1, 0);
    login->addWidget(edtPassword, 1, 1);
    login->addWidget(cbSavePassword, 1, 2);
    login->addWidget(lblToken, 2, 0);
    login->addWidget(edtToken, 2, 1, 1, 2, Qt::AlignLeft);
    login->addWidget(cbSaveToken, 3, 1);
    login->addWidget(lblTokenHelp, 3, 2, Qt::AlignLeft);
    login->setColumnStretch(3, 1);

    GroupBox2 = Named(new QGroupBox(Utf8(" Choose Which Type of Data to Delete Duplicates "), this),
                      "GroupBox2");
    rbtnAddr = NewRadioButton(GroupBox2, "rbtnAddr", "Contacts");
    rbtnDate = NewRadioButton(GroupBox2, "rbtnDate", "Calendar Events");
    rbtnTask = NewRadioButton(GroupBox2, "rbtnTask", "Tasks");
    Label2 = NewLabel(GroupBox2, "Label2", "Including:");
    cbAddrContact = NewCheckBox(GroupBox2, "cbAddrContact", "Contact");
    cbAddrAccount = NewCheckBox(GroupBox2, "cbAddrAccount", "Account");
    cbAddrLead = NewCheckBox(GroupBox2, "cbAddrLead", "Lead");
    btnDupOption =
        Named(new QPushButton(Utf8("Set Duplicates Checking Rules"), this), "btnDupOption");
    btnDupOption->setAutoDefault(false);
    btnConnection = NewButton(this, "btnConnection", "C&onnection...", 0, false);

    auto* sources = new QHBoxLayout;
    sources->setSpacing(16);
    sources->addWidget(rbtnAddr);
    sources->addSpacing(24);
    sources->addWidget(Label2);
    sources->addWidget(cbAddrContact);
    sources->addWidget(cbAddrAccount);
    sources->addWidget(cbAddrLead);
    sources->addStretch(1);
    auto* kinds = new QVBoxLayout(GroupBox2);
    kinds->setContentsMargins(18, 16, 18, 14);
    kinds->setSpacing(9);
    kinds->addLayout(sources);
    kinds->addWidget(rbtnDate);
    kinds->addWidget(rbtnTask);

    auto* rules = new QHBoxLayout;
    rules->addStretch(1);
    rules->addWidget(btnDupOption);
    rules->addWidget(btnConnection);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(24, 18, 24, 14);
    page->setSpacing(14);
    page->addWidget(GroupBox1);
    page->addWidget(GroupBox2);
    page->addLayout(rules);
    page->addStretch(1);

    QWidget* order[] = {edtUserName,   edtPassword, cbSaveUser,   cbSavePassword, edtToken,
                        cbSaveToken,   rbtnAddr,    rbtnDate,     rbtnTask,       cbAddrContact,
                        cbAddrAccount, cbAddrLead,  btnDupOption, btnConnection};
    for (size_t i = 0; i + 1 < sizeof(order) / sizeof(order[0]); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(rbtnAddr, &QRadioButton::clicked, this, &TfmSFSource::rbtnAddrClick);
    connect(rbtnDate, &QRadioButton::clicked, this, &TfmSFSource::rbtnDateClick);
    connect(rbtnTask, &QRadioButton::clicked, this, &TfmSFSource::rbtnTaskClick);
    connect(btnDupOption, &QPushButton::clicked, this, &TfmSFSource::btnDupOptionClick);
    connect(btnConnection, &QPushButton::clicked, this, &TfmSFSource::btnConnectionClick);
    connect(lblTokenHelp, &TLinkLabel::clicked, this, &TfmSFSource::lblTokenHelpClick);
}

bool TfmSFSource::UpdateData(bool leaving) {
    return leaving ? TakeAndLoad() : Fill();
}

bool TfmSFSource::Fill() {
    const TAppSettings& s = AppSettings;
    edtUserName->setText(FieldText(s.UserName));
    edtPassword->setText(FieldText(s.Password));
    cbSaveUser->setChecked(s.SaveUser);
    cbSavePassword->setChecked(s.SavePassword);
    edtToken->setText(FieldText(s.Token));
    cbSaveToken->setChecked(s.SaveToken);
    if (s.AppFlag == rkAddr) {
        rbtnAddr->setChecked(true);
        EnableContactSources(true);
    } else {
        EnableContactSources(false);
        // Any kind the page does not offer shows as Tasks.
        (s.AppFlag == rkDate ? rbtnDate : rbtnTask)->setChecked(true);
    }
    cbAddrContact->setChecked(s.AddrContact);
    cbAddrAccount->setChecked(s.AddrAccount);
    cbAddrLead->setChecked(s.AddrLead);
    EnableCredentials();
    return true;
}

bool TfmSFSource::TakeAndLoad() {
    TAppSettings& s = AppSettings;
    // Each value is kept as soon as it has passed its check.
    QByteArray user = edtUserName->text().toUtf8();
    if (user.isEmpty())
        return Refuse(edtUserName, "Invalid salesforce user name.");
    CopyText(s.UserName, user.constData());

    // The browser sign-in needs neither; what was typed for the password
    // sign-in stays for it.
    if (!UsesBrowserSignIn(s)) {
        QByteArray password = edtPassword->text().toUtf8();
        if (password.isEmpty())
            return Refuse(edtPassword, "Invalid salesforce password.");
        CopyText(s.Password, password.constData());

        QByteArray token = edtToken->text().toUtf8();
        if (token.isEmpty())
            return Refuse(edtToken, "Invalid salesforce security token.");
        CopyText(s.Token, token.constData());
    }

    s.SaveUser = cbSaveUser->isChecked();
    s.SavePassword = cbSavePassword->isChecked();
    s.SaveToken = cbSaveToken->isChecked();

    // Always exactly one kind, whatever the settings file held before.
    if (rbtnAddr->isChecked())
        s.AppFlag = rkAddr;
    else if (rbtnDate->isChecked())
        s.AppFlag = rkDate;
    else
        s.AppFlag = rkTask;

    s.AddrContact = cbAddrContact->isChecked();
    s.AddrAccount = cbAddrAccount->isChecked();
    s.AddrLead = cbAddrLead->isChecked();
    if (s.AppFlag == rkAddr && !s.AddrContact && !s.AddrAccount && !s.AddrLead)
        return Refuse(cbAddrContact, kNoContactSource);

    return Load();
}

bool TfmSFSource::Load() {
    SetStepText(fmMain, kLoadingText);
    if (DataPage)
        DataPage->ClearLists();

    TfmMain* wizard = fmMain;
    bool loaded = false;
    try {
        loaded = RunWithWaitWindow(parentWidget(), nullptr, [wizard] {
            return wizard ? wizard->LoadCrmData() : ::LoadCrmData();
        });
    } catch (...) {
        try {
            throw;
        } catch (const std::exception& e) {
            DEBUG_LOG(LOG_CRITICAL, "Loading the salesforce information failed: %s", e.what());
        } catch (...) {
            DEBUG_LOG(LOG_CRITICAL, "Loading the salesforce information failed.");
        }
        ShowDumpDialog(fmMain);
        return false;
    }
    if (!loaded) {
        std::string message = kRetrieveFailed;
        const std::string reason = ::LoadFailureReason();
        if (!reason.empty())
            message += "\n\n" + reason;
        ShowMessageBox(this, message.c_str(), "Error", MessageIcon::Information,
                       MessageButtons::OK);
    }
    return loaded;
}

void TfmSFSource::EnableContactSources(bool enabled) {
    cbAddrContact->setEnabled(enabled);
    cbAddrAccount->setEnabled(enabled);
    cbAddrLead->setEnabled(enabled);
}

void TfmSFSource::EnableCredentials() {
    const bool password = !UsesBrowserSignIn(AppSettings);
    for (QWidget* control :
         std::initializer_list<QWidget*>{lblPassword, edtPassword, cbSavePassword, lblToken,
                                         edtToken, cbSaveToken, lblTokenHelp})
        control->setEnabled(password);
}

bool TfmSFSource::Refuse(QWidget* control, const char* message) {
    ShowMessageBox(this, message, "Error", MessageIcon::Error, MessageButtons::OK);
    control->setFocus();
    return false;
}

void TfmSFSource::rbtnAddrClick() {
    EnableContactSources(true);
}

void TfmSFSource::rbtnDateClick() {
    EnableContactSources(false);
}

void TfmSFSource::rbtnTaskClick() {
    EnableContactSources(false);
}

void TfmSFSource::btnDupOptionClick() {
    // On the heap: should the page go away meanwhile, it takes the dialog along.
    QPointer<TfmDupOption> dialog = new TfmDupOption(this);
    dialog->UpdateData(false);
    dialog->exec();
    delete dialog;
}

void TfmSFSource::btnConnectionClick() {
    // On the heap: should the page go away meanwhile, it takes the dialog along.
    QPointer<TfmConnection> dialog = new TfmConnection(this);
    dialog->UpdateData(false);
    // Sign Out is for the user name the page shows.
    dialog->SetUserName(edtUserName->text());
    // Gone with the page should the page go away meanwhile: then nothing is left to update.
    const bool taken = dialog->exec() == mrOK && dialog;
    delete dialog;
    if (taken)
        EnableCredentials();
}

void TfmSFSource::lblTokenHelpClick() {
    OpenTokenHelpPage(this);
}
