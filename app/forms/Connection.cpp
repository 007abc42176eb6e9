#include "Connection.h"

#include "Apputil.h"
#include "ConnectionTarget.h"
#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "CxText.h"
#include "MessageBox.h"
#include "MyDomainUrl.h"
#include "WorkRunner.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
#include <initializer_list>
#include <string>

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 520;
// The settings keep the address and the path in 260 characters, terminator
// included; a cut path would name another file.
constexpr qsizetype kMaxFieldBytes = 259;
// The settings keep the consumer key in 256 characters, terminator included.
constexpr qsizetype kMaxConsumerKeyBytes = 255;

const char kMyDomainHint[] = "https://NAME.my.salesforce.com";
const char kNoLocalOrg[] = "Please enter the path of the local org file.";
const char kLocalOrgMissing[] = "The local org file %1 does not exist.";
const char kLocalOrgTooLong[] = "The path of the local org file is too long.";
const char kBrowseCaption[] = "Choose the Local Org File";
const char kBrowseFilter[] = "Local orgs (*.db *.sqlite *.sqlite3);;All files (*)";
const char kNoConsumerKey[] =
    "Please enter the consumer key of your org's client app for Tessmark.";
const char kConsumerKeyTooLong[] = "The consumer key is too long.";
const char kCallbackHint[] = "Register this callback URL in your org's client app for Tessmark.";
const char kNoUserName[] = "Please enter your salesforce user name on the access page first.";
const char kSignedOut[] = "Signed out.";

template <size_t N> QString FieldText(const char (&field)[N]) {
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, N)));
}

// The typed path with a leading "~/" standing for the home folder.
QString ExpandHome(const QString& path) {
    if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

} // namespace

TfmConnection::TfmConnection(QWidget* owner) : TFixedDialog(owner, "Connection", kWidth, kHeight) {
    setObjectName("fmConnection");
    Label1 = Named(new QLabel(Utf8("Choose the org that Tessmark loads the records from and "
                                   "deletes the duplicates in."),
                              this),
                   "Label1");
    Label1->setWordWrap(true);

    GroupBox1 = Named(new QGroupBox(Utf8(" Connect To "), this), "GroupBox1");
    rbtnSalesforce = Named(new QRadioButton(Utf8("Salesforce"), GroupBox1), "rbtnSalesforce");
    lblSalesforceUrl = Named(new QLabel(Utf8(kSalesforceLoginUrl), GroupBox1), "lblSalesforceUrl");
    rbtnSandbox = Named(new QRadioButton(Utf8("Salesforce sandbox"), GroupBox1), "rbtnSandbox");
    lblSandboxUrl = Named(new QLabel(Utf8(kSandboxLoginUrl), GroupBox1), "lblSandboxUrl");
    rbtnMyDomain = Named(new QRadioButton(Utf8("My Domain"), GroupBox1), "rbtnMyDomain");
    edtMyDomain = Named(new QLineEdit(GroupBox1), "edtMyDomain");
    edtMyDomain->setPlaceholderText(Utf8(kMyDomainHint));
    rbtnLocalOrg = Named(new QRadioButton(Utf8("Local org"), GroupBox1), "rbtnLocalOrg");
    edtLocalOrg = Named(new QLineEdit(GroupBox1), "edtLocalOrg");
    btnBrowse = NewButton(GroupBox1, "btnBrowse", "Browse...", 0, false);

    auto* grid = new QGridLayout(GroupBox1);
    grid->setContentsMargins(18, 16, 18, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->addWidget(rbtnSalesforce, 0, 0);
    grid->addWidget(lblSalesforceUrl, 0, 1, 1, 2);
    grid->addWidget(rbtnSandbox, 1, 0);
    grid->addWidget(lblSandboxUrl, 1, 1, 1, 2);
    grid->addWidget(rbtnMyDomain, 2, 0);
    grid->addWidget(edtMyDomain, 2, 1, 1, 2);
    grid->addWidget(rbtnLocalOrg, 3, 0);
    grid->addWidget(edtLocalOrg, 3, 1);
    grid->addWidget(btnBrowse, 3, 2);
    grid->setColumnStretch(1, 1);

    GroupBox2 = Named(new QGroupBox(Utf8(" Sign in with "), this), "GroupBox2");
    rbtnPassword =
        Named(new QRadioButton(Utf8("Password and security token"), GroupBox2), "rbtnPassword");
    rbtnBrowser = Named(new QRadioButton(Utf8("Web browser"), GroupBox2), "rbtnBrowser");
    lblConsumerKey = Named(new QLabel(Utf8("Consumer key:"), GroupBox2), "lblConsumerKey");
    edtConsumerKey = Named(new QLineEdit(GroupBox2), "edtConsumerKey");
    lblConsumerKey->setBuddy(edtConsumerKey);
    lblCallbackUrl = Named(new QLabel(Utf8("Callback URL:"), GroupBox2), "lblCallbackUrl");
    edtCallbackUrl = Named(new QLineEdit(GroupBox2), "edtCallbackUrl");
    edtCallbackUrl->setReadOnly(true);
    lblCallbackUrl->setBuddy(edtCallbackUrl);
    btnCopyCallback = NewButton(GroupBox2, "btnCopyCallback", "Copy", 0, false);
    lblCallbackHint = Named(new QLabel(Utf8(kCallbackHint), GroupBox2), "lblCallbackHint");
    lblCallbackHint->setWordWrap(true);
    btnSignOut = NewButton(GroupBox2, "btnSignOut", "Sign Out", 0, false);

    auto* signIn = new QGridLayout(GroupBox2);
    signIn->setContentsMargins(18, 16, 18, 14);
    signIn->setHorizontalSpacing(12);
    signIn->setVerticalSpacing(10);
    // Only as wide as their captions, so that a click beside one does not count.
    signIn->addWidget(rbtnPassword, 0, 0, 1, 3, Qt::AlignLeft);
    signIn->addWidget(rbtnBrowser, 1, 0, 1, 3, Qt::AlignLeft);
    signIn->addWidget(lblConsumerKey, 2, 0);
    signIn->addWidget(edtConsumerKey, 2, 1, 1, 2);
    signIn->addWidget(lblCallbackUrl, 3, 0);
    signIn->addWidget(edtCallbackUrl, 3, 1);
    signIn->addWidget(btnCopyCallback, 3, 2);
    signIn->addWidget(lblCallbackHint, 4, 1, 1, 2);
    signIn->addWidget(btnSignOut, 5, 2);
    signIn->setColumnStretch(1, 1);

    btnOK = NewButton(this, "btnOK", "&OK");
    btnOK->setDefault(true);
    btnCancel = NewButton(this, "btnCancel", "&Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* body = new QVBoxLayout(this);
    body->setContentsMargins(18, 14, 18, 12);
    body->setSpacing(10);
    body->addWidget(Label1);
    body->addWidget(GroupBox1);
    body->addWidget(GroupBox2);
    body->addStretch(1);
    body->addLayout(buttons);

    QWidget* order[] = {rbtnSalesforce, rbtnSandbox,     rbtnMyDomain, edtMyDomain, rbtnLocalOrg,
                        edtLocalOrg,    btnBrowse,       rbtnPassword, rbtnBrowser, edtConsumerKey,
                        edtCallbackUrl, btnCopyCallback, btnSignOut,   btnOK,       btnCancel};
    for (size_t i = 0; i + 1 < sizeof(order) / sizeof(order[0]); ++i)
        setTabOrder(order[i], order[i + 1]);

    for (QRadioButton* choice : {rbtnSalesforce, rbtnSandbox, rbtnMyDomain, rbtnLocalOrg})
        connect(choice, &QRadioButton::clicked, this, &TfmConnection::rbtnConnectionClick);
    for (QRadioButton* method : {rbtnPassword, rbtnBrowser})
        connect(method, &QRadioButton::clicked, this, &TfmConnection::rbtnSignInClick);
    connect(btnBrowse, &QPushButton::clicked, this, &TfmConnection::btnBrowseClick);
    connect(btnCopyCallback, &QPushButton::clicked, this, &TfmConnection::btnCopyCallbackClick);
    connect(btnSignOut, &QPushButton::clicked, this, &TfmConnection::btnSignOutClick);
    connect(btnOK, &QPushButton::clicked, this, &TfmConnection::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmConnection::btnCancelClick);
}

bool TfmConnection::UpdateData(bool leaving) {
    return leaving ? Collect(AppSettings) : Fill();
}

bool TfmConnection::Fill() {
    const TAppSettings& s = AppSettings;
    switch (s.Connection) {
    case ccSandbox:
        rbtnSandbox->setChecked(true);
        break;
    case ccMyDomain:
        rbtnMyDomain->setChecked(true);
        break;
    case ccLocalOrg:
        rbtnLocalOrg->setChecked(true);
        break;
    default: // any value that is no choice shows as Salesforce
        rbtnSalesforce->setChecked(true);
        break;
    }
    edtMyDomain->setText(FieldText(s.MyDomainUrl));
    edtLocalOrg->setText(FieldText(s.LocalOrgPath));
    // Any value that is no method shows as the password sign-in.
    (s.SignInMethod == siBrowser ? rbtnBrowser : rbtnPassword)->setChecked(true);
    edtConsumerKey->setText(FieldText(s.ConsumerKey));
    const QString callback = FieldText(s.CallbackUrl);
    edtCallbackUrl->setText(callback.isEmpty() ? Utf8(kDefaultCallbackUrl) : callback);
    m_userName = FieldText(s.UserName);
    EnableFields();
    return true;
}

bool TfmConnection::Collect(TAppSettings& s) {
    // Everything is checked before anything is stored: a refusal leaves the
    // settings as they were.
    QByteArray url;
    if (rbtnMyDomain->isChecked()) {
        url = edtMyDomain->text().trimmed().toUtf8();
        std::string why;
        if (!CheckMyDomainUrl(url.toStdString(), why))
            return Refuse(edtMyDomain, Utf8(why.c_str()));
    }
    QByteArray path;
    if (rbtnLocalOrg->isChecked()) {
        const QString typed = ExpandHome(edtLocalOrg->text().trimmed());
        if (typed.isEmpty())
            return Refuse(edtLocalOrg, Utf8(kNoLocalOrg));
        const QFileInfo file(typed);
        if (!file.isFile())
            return Refuse(edtLocalOrg, Utf8(kLocalOrgMissing).arg(typed));
        // The helpers run in the program folder: only a full path names the same file there.
        path = file.absoluteFilePath().toUtf8();
        if (path.size() > kMaxFieldBytes)
            return Refuse(edtLocalOrg, Utf8(kLocalOrgTooLong));
    }
    const bool browser = rbtnBrowser->isChecked();
    const QByteArray key = edtConsumerKey->text().trimmed().toUtf8();
    // The sign-in applies to the salesforce choices only; a local org keeps it as it is.
    if (browser && !rbtnLocalOrg->isChecked()) {
        if (key.isEmpty())
            return Refuse(edtConsumerKey, Utf8(kNoConsumerKey));
        if (key.size() > kMaxConsumerKeyBytes)
            return Refuse(edtConsumerKey, Utf8(kConsumerKeyTooLong));
    }

    if (rbtnSandbox->isChecked()) {
        s.Connection = ccSandbox;
    } else if (rbtnMyDomain->isChecked()) {
        s.Connection = ccMyDomain;
        CopyText(s.MyDomainUrl, url.constData());
    } else if (rbtnLocalOrg->isChecked()) {
        s.Connection = ccLocalOrg;
        CopyText(s.LocalOrgPath, path.constData());
    } else {
        s.Connection = ccSalesforce;
    }
    s.SignInMethod = browser ? siBrowser : siPassword;
    CopyText(s.ConsumerKey, key.constData());
    CopyText(s.CallbackUrl, edtCallbackUrl->text().toUtf8().constData());
    return true;
}

void TfmConnection::EnableFields() {
    edtMyDomain->setEnabled(rbtnMyDomain->isChecked());
    const bool local = rbtnLocalOrg->isChecked();
    edtLocalOrg->setEnabled(local);
    btnBrowse->setEnabled(local);

    GroupBox2->setEnabled(!local);
    const bool browser = rbtnBrowser->isChecked();
    for (QWidget* field : std::initializer_list<QWidget*>{
             lblConsumerKey, edtConsumerKey, lblCallbackUrl, edtCallbackUrl, btnCopyCallback,
             lblCallbackHint, btnSignOut})
        field->setEnabled(browser);
}

bool TfmConnection::Refuse(QWidget* control, const QString& message) {
    ShowMessageBox(this, message, Utf8("Error"), MessageIcon::Error, MessageButtons::OK);
    control->setFocus();
    return false;
}

void TfmConnection::rbtnConnectionClick() {
    EnableFields();
    if (rbtnMyDomain->isChecked())
        edtMyDomain->setFocus();
    else if (rbtnLocalOrg->isChecked())
        edtLocalOrg->setFocus();
}

void TfmConnection::rbtnSignInClick() {
    EnableFields();
    if (rbtnBrowser->isChecked())
        edtConsumerKey->setFocus();
}

void TfmConnection::btnBrowseClick() {
    const QString typed = ExpandHome(edtLocalOrg->text().trimmed());
    const QFileInfo current(typed);
    const QString folder = !typed.isEmpty() && current.absoluteDir().exists()
                               ? current.absolutePath()
                               : QDir::homePath();
    // On the heap: should the dialog go away meanwhile, it takes the file dialog along.
    QPointer<QFileDialog> dialog =
        new QFileDialog(this, Utf8(kBrowseCaption), folder, Utf8(kBrowseFilter));
    dialog->setObjectName("dlgBrowse");
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (current.isFile())
        dialog->selectFile(current.absoluteFilePath());
    const bool chosen = dialog->exec() == QDialog::Accepted;
    if (dialog && chosen && !dialog->selectedFiles().isEmpty())
        edtLocalOrg->setText(dialog->selectedFiles().constFirst());
    delete dialog;
}

void TfmConnection::btnCopyCallbackClick() {
    QGuiApplication::clipboard()->setText(edtCallbackUrl->text());
}

void TfmConnection::btnSignOutClick() {
    // Signed out is the org the dialog shows now, whether or not OK follows.
    TAppSettings chosen;
    std::memcpy(&chosen, &AppSettings, sizeof(chosen));
    if (!Collect(chosen))
        return;
    const QByteArray user = m_userName.toUtf8();
    if (user.isEmpty()) {
        ShowMessageBox(this, Utf8(kNoUserName), Utf8("Error"), MessageIcon::Error,
                       MessageButtons::OK);
        return;
    }
    CopyText(chosen.UserName, user.constData());

    std::string answer;
    bool signedOut = false;
    signedOut = RunWithWaitWindow(this, nullptr,
                                  [&chosen, &answer] { return SignOutOfCrm(chosen, answer); });
    if (signedOut)
        ShowMessageBox(this, answer.empty() ? kSignedOut : answer.c_str(), "Sign Out",
                       MessageIcon::Information, MessageButtons::OK);
    else
        ShowMessageBox(this, answer.c_str(), "Error", MessageIcon::Error, MessageButtons::OK);
}

void TfmConnection::btnOKClick() {
    if (UpdateData(true))
        done(mrOK);
}

void TfmConnection::btnCancelClick() {
    done(mrCancel);
}
