#include "Dump.h"

#include "Banner.h"
#include "Debugger.h"
#include "LinkLabel.h"
#include "Links.h"
#include "LogFolderBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* NewLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(Utf8(text), parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

TfmDump::TfmDump(QWidget* owner) : TFixedDialog(owner, "Handle Tessmark Exception", 562, 399) {
    setObjectName("fmDump");
    Panel1 = new TBanner(this, "Label6", 64);
    Panel1->setObjectName("Panel1");
    Label6 = Panel1->lblTitle;
    imgLogo = Panel1->imgLogo;

    Label1 =
        NewLabel(this, "Label1", "We're sorry that an unhandled exception occurred  in Tessmark.");
    Label2 = NewLabel(this, "Label2", "Please contact us at:");
    Label2->setWordWrap(false);
    lblSupport = new TLinkLabel(this);
    lblSupport->setObjectName("lblSupport");
    lblSupport->setText(Utf8(kSupportEmail));
    lblSupport->SetLinkLook();
    connect(lblSupport, &TLinkLabel::clicked, this, &TfmDump::lblSupportClick);

    Label3 = NewLabel(nullptr, "Label3",
                      "It is very appreciated if you can include the debug information in your "
                      "error report.");
    GroupBox1 = new TLogFolderBox(this, Label3);
    Label4 = GroupBox1->Label4;
    edtFolder = GroupBox1->edtFolder;
    btnFolder = GroupBox1->btnFolder;
    Label5 = GroupBox1->Label5;
    edtFile = GroupBox1->edtFile;
    btnFile = GroupBox1->btnFile;

    btnDebug = NewButton(this, "btnDebug", "&Debug Options");
    btnOK = NewButton(this, "btnOK", "&OK");
    btnOK->setDefault(true);
    btnExit = NewButton(this, "btnExit", "Quit Tessmark");
    connect(btnDebug, &QPushButton::clicked, this, &TfmDump::btnDebugClick);
    connect(btnOK, &QPushButton::clicked, this, &TfmDump::btnOKClick);
    connect(btnExit, &QPushButton::clicked, this, &TfmDump::btnExitClick);

    auto* contact = new QHBoxLayout;
    contact->setSpacing(6);
    contact->addWidget(Label2);
    contact->addWidget(lblSupport);
    contact->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDebug);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnExit);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(18, 14, 18, 14);
    body->setSpacing(10);
    body->addWidget(Label1);
    body->addLayout(contact);
    body->addWidget(GroupBox1);
    body->addStretch(1);
    body->addLayout(buttons);

    StackUnderBanner(this, Panel1, body);
}

void TfmDump::lblSupportClick() {
    OpenInDesktop(this, BugReportMailto());
}

void TfmDump::btnDebugClick() {
    ShowDebugDialog(parentWidget());
}

void TfmDump::btnOKClick() {
    done(mrOK);
}

void TfmDump::btnExitClick() {
    QPointer<QWidget> owner = parentWidget();
    done(mrCancel);
    // Queued, so that the wizard closes only after this dialog has returned.
    if (owner)
        QMetaObject::invokeMethod(
            owner, [owner] { owner->close(); }, Qt::QueuedConnection);
}

void ShowDumpDialog(QWidget* owner) {
    // On the heap: should the owner go away meanwhile, it takes the dialog along.
    QPointer<TfmDump> dialog = new TfmDump(owner);
    dialog->exec();
    delete dialog;
}
