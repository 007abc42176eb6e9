#include "Dupoption.h"

#include "Apputil.h"
#include "Banner.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 430;
// Room a label keeps beside its text (frame, rounding).
constexpr int kLabelSlack = 8;

enum { tabAddr, tabDate, tabTask };

// One check box: where it sits and the flag it edits. cbCase lies below the
// tabs (tab -1).
struct TRuleBox {
    QCheckBox* TfmDupOption::*box;
    const char* name;
    const char* caption;
    bool TAppSettings::*flag;
    int tab;
    int column;
    int row;
};

const TRuleBox kRuleBoxes[] = {
    {&TfmDupOption::cbAddrDisplayName, "cbAddrDisplayName", "Full Name",
     &TAppSettings::AddrDisplayName, tabAddr, 0, 0},
    {&TfmDupOption::cbAddrFirstName, "cbAddrFirstName", "First Name", &TAppSettings::AddrFirstName,
     tabAddr, 0, 1},
    {&TfmDupOption::cbAddrLastName, "cbAddrLastName", "Last Name", &TAppSettings::AddrLastName,
     tabAddr, 0, 2},
    {&TfmDupOption::cbAddrEmail, "cbAddrEmail", "Email", &TAppSettings::AddrEmail, tabAddr, 0, 3},
    {&TfmDupOption::cbAddrDepartment, "cbAddrDepartment", "Department",
     &TAppSettings::AddrDepartment, tabAddr, 1, 0},
    {&TfmDupOption::cbAddrTitle, "cbAddrTitle", "Job Title", &TAppSettings::AddrTitle, tabAddr, 1,
     1},
    {&TfmDupOption::cbAddrPhone, "cbAddrPhone", "Phone Numbers", &TAppSettings::AddrPhone, tabAddr,
     1, 2},
    {&TfmDupOption::cbAddrAddr, "cbAddrAddr", "Addresses", &TAppSettings::AddrAddress, tabAddr, 1,
     3},
    {&TfmDupOption::cbAddrBirthday, "cbAddrBirthday", "Birth Date", &TAppSettings::AddrBirthday,
     tabAddr, 2, 0},
    {&TfmDupOption::cbAddrNote, "cbAddrNote", "Notes", &TAppSettings::AddrNote, tabAddr, 2, 1},
    {&TfmDupOption::cbDateSubject, "cbDateSubject", "Subject", &TAppSettings::DateSubject, tabDate,
     0, 0},
    {&TfmDupOption::cbDateStartTime, "cbDateStartTime", "Start Time", &TAppSettings::DateStartTime,
     tabDate, 0, 1},
    {&TfmDupOption::cbDateEndTime, "cbDateEndTime", "End Time", &TAppSettings::DateEndTime, tabDate,
     0, 2},
    {&TfmDupOption::cbDateAllDayEvent, "cbDateAllDayEvent", "All Day Event",
     &TAppSettings::DateAllDayEvent, tabDate, 0, 3},
    {&TfmDupOption::cbDateLocation, "cbDateLocation", "Location", &TAppSettings::DateLocation,
     tabDate, 1, 0},
    {&TfmDupOption::cbDateNote, "cbDateNote", "Notes", &TAppSettings::DateNote, tabDate, 1, 1},
    {&TfmDupOption::cbTaskSubject, "cbTaskSubject", "Subject", &TAppSettings::TaskSubject, tabTask,
     0, 0},
    {&TfmDupOption::cbTaskImportance, "cbTaskImportance", "Priority", &TAppSettings::TaskImportance,
     tabTask, 0, 1},
    {&TfmDupOption::cbTaskDueDate, "cbTaskDueDate", "Due Date", &TAppSettings::TaskDueDate, tabTask,
     0, 2},
    {&TfmDupOption::cbTaskNote, "cbTaskNote", "Notes", &TAppSettings::TaskNote, tabTask, 0, 3},
    {&TfmDupOption::cbCase, "cbCase", "Case Sensitive when checking the text fields.",
     &TAppSettings::CaseSensitive, -1, 0, 0},
};

QLabel* NewLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(Utf8(text), parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QWidget* NewTab(QTabWidget* tabs, const char* name, const char* caption) {
    auto* tab = new QWidget;
    tab->setObjectName(name);
    auto* grid = new QGridLayout(tab);
    grid->setContentsMargins(16, 14, 16, 10);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(10);
    tabs->addTab(tab, Utf8(caption));
    return tab;
}

} // namespace

TfmDupOption::TfmDupOption(QWidget* owner)
    : TFixedDialog(owner, "Set Tessmark Options", kWidth, kHeight) {
    setObjectName("fmDupOption");
    Panel1 = new TBanner(this, "Label6", 64);
    Panel1->setObjectName("Panel1");
    Label1 = NewLabel(this, "Label1",
                      "You may customize the duplicate criteria here, Tessmark will check the data "
                      "fields below.");
    Label2 = NewLabel(this, "Label2",
                      "If two records have the same content in the selected fields, they will be "
                      "treated as Duplicates.");

    pMain = new QTabWidget(this);
    pMain->setObjectName("pMain");
    tAddr = NewTab(pMain, "tAddr", "Contacts");
    tDate = NewTab(pMain, "tDate", "Calendar");
    tTask = NewTab(pMain, "tTask", "Task");
    QWidget* tabs[] = {tAddr, tDate, tTask};

    for (const TRuleBox& rule : kRuleBoxes) {
        QWidget* parent = rule.tab >= 0 ? tabs[rule.tab] : this;
        auto* box = new QCheckBox(Utf8(rule.caption), parent);
        box->setObjectName(rule.name);
        this->*rule.box = box;
        if (rule.tab >= 0)
            static_cast<QGridLayout*>(parent->layout())
                ->addWidget(box, rule.row, rule.column, Qt::AlignLeft | Qt::AlignTop);
    }
    for (QWidget* tab : tabs) {
        auto* grid = static_cast<QGridLayout*>(tab->layout());
        // Columns keep their width; rows gather at the top.
        grid->setRowStretch(grid->rowCount(), 1);
        for (int c = 0; c < 3; ++c)
            grid->setColumnMinimumWidth(c, 130);
        grid->setColumnStretch(3, 1);
    }

    btnOK = NewButton(this, "btnOK", "&OK");
    btnOK->setDefault(true);
    btnCancel = NewButton(this, "btnCancel", "&Cancel");
    connect(btnOK, &QPushButton::clicked, this, &TfmDupOption::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmDupOption::btnCancelClick);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(14, 10, 14, 12);
    body->setSpacing(8);
    body->addWidget(Label1);
    body->addWidget(Label2);
    body->addWidget(pMain, 1);
    body->addWidget(cbCase);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    body->addLayout(buttons);

    StackUnderBanner(this, Panel1, body);

    // Wide enough for each explanatory label on one line, in whatever font.
    int textWidth = 0;
    for (QLabel* label : {Label1, Label2})
        textWidth = std::max(textWidth, label->fontMetrics().horizontalAdvance(label->text()));
    const QMargins margins = body->contentsMargins();
    const int width = textWidth + margins.left() + margins.right() + kLabelSlack;
    if (width > kWidth) {
        setFixedWidth(width);
        CenterOnDesktop(this);
    }
}

bool TfmDupOption::UpdateData(bool leaving) {
    for (const TRuleBox& rule : kRuleBoxes) {
        QCheckBox* box = this->*rule.box;
        if (leaving)
            AppSettings.*rule.flag = box->isChecked();
        else
            box->setChecked(AppSettings.*rule.flag);
    }
    return true;
}

void TfmDupOption::btnOKClick() {
    if (UpdateData(true))
        done(mrOK);
}

void TfmDupOption::btnCancelClick() {
    done(mrCancel);
}
