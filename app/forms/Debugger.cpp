#include "Debugger.h"

#include "Apputil.h"
#include "Banner.h"
#include "CxDebugUtil.h"
#include "LinkLabel.h"
#include "Links.h"
#include "LogFolderBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct TLevelEntry {
    const char* text;
    int value;
};

const TLevelEntry kLevels[] = {
    {"Critical - Only log critical error information.", LOG_CRITICAL},
    {"High - Log high level debug information.", LOG_HIGH},
    {"Low - Log very detail debug information.", LOG_LOW},
};

} // namespace

TfmDebug::TfmDebug(QWidget* owner) : TFixedDialog(owner, "Tessmark Debug Log Options", 553, 396) {
    setObjectName("fmDebug");
    Panel1 = new TBanner(this, "Label6", 64);
    Panel1->setObjectName("Panel1");
    Label6 = Panel1->lblTitle;
    imgLogo = Panel1->imgLogo;
    Label6->setCursor(Qt::PointingHandCursor);
    connect(Label6, &TLinkLabel::clicked, this, [this] { OpenHomePage(this); });

    cbEnable = new QCheckBox(Utf8("Enable Debug Log"), this);
    cbEnable->setObjectName("cbEnable");
    Label1 = new QLabel(Utf8("Set Debug Level:"), this);
    Label1->setObjectName("Label1");
    cbxLevel = new QComboBox(this);
    cbxLevel->setObjectName("cbxLevel");
    cbxLevel->setEditable(false);

    GroupBox1 = new TLogFolderBox(this);
    Label4 = GroupBox1->Label4;
    edtFolder = GroupBox1->edtFolder;
    btnFolder = GroupBox1->btnFolder;
    Label5 = GroupBox1->Label5;
    edtFile = GroupBox1->edtFile;
    btnFile = GroupBox1->btnFile;

    btnOK = NewButton(this, "btnOK", "&OK");
    btnOK->setDefault(true);
    btnCancel = NewButton(this, "btnCancel", "&Cancel");
    connect(btnOK, &QPushButton::clicked, this, &TfmDebug::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmDebug::btnCancelClick);

    auto* level = new QHBoxLayout;
    level->setSpacing(8);
    level->addWidget(Label1);
    level->addWidget(cbxLevel, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    // The room the fixed size leaves is shared out between the three blocks
    // (switch and level, log information, buttons), not left as one band.
    auto* body = new QVBoxLayout;
    body->setContentsMargins(18, 18, 18, 14);
    body->setSpacing(12);
    body->addStretch(1);
    body->addWidget(cbEnable);
    body->addLayout(level);
    body->addStretch(2);
    body->addWidget(GroupBox1);
    body->addStretch(2);
    body->addLayout(buttons);

    StackUnderBanner(this, Panel1, body);

    cbEnable->setChecked(AppSettings.EnableDebug);
    cbxLevel->clear();
    for (const TLevelEntry& entry : kLevels)
        cbxLevel->addItem(Utf8(entry.text), entry.value);
    cbxLevel->setCurrentIndex(LevelToPosition(AppSettings.LogLevel));
}

int TfmDebug::LevelToPosition(int logLevel) {
    switch (logLevel) {
    case 0:
        return 0;
    case 1:
        return 1;
    default:
        return 2;
    }
}

int TfmDebug::PositionToLevel(int position) {
    switch (position) {
    case 0:
        return 0;
    case 1:
        return 1;
    default:
        return 3;
    }
}

void TfmDebug::btnOKClick() {
    AppSettings.EnableDebug = cbEnable->isChecked();
    AppSettings.LogLevel = PositionToLevel(cbxLevel->currentIndex());
    DebugLog.EnableLog(AppSettings.EnableDebug);
    DebugLog.SetLogLevel(AppSettings.LogLevel);
    done(mrOK);
}

void TfmDebug::btnCancelClick() {
    done(mrCancel);
}

void ShowDebugDialog(QWidget* owner) {
    // On the heap: should the owner go away meanwhile, it takes the dialog along.
    QPointer<TfmDebug> dialog = new TfmDebug(owner);
    dialog->exec();
    delete dialog;
}
