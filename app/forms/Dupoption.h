// The dialog that sets the fields deciding whether two records are duplicates,
// and whether text comparison respects case. It edits AppSettings in memory.
#pragma once

#include "FormUtil.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;
class TBanner;

class TfmDupOption : public TFixedDialog {
    Q_OBJECT
public:
    explicit TfmDupOption(QWidget* owner);

    // leaving false: every check box from its flag; true: every flag from its
    // check box. Always true.
    bool UpdateData(bool leaving);

    TBanner* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    QTabWidget* pMain;
    QWidget* tAddr;
    QWidget* tDate;
    QWidget* tTask;

    QCheckBox* cbAddrDisplayName;
    QCheckBox* cbAddrFirstName;
    QCheckBox* cbAddrLastName;
    QCheckBox* cbAddrEmail;
    QCheckBox* cbAddrDepartment;
    QCheckBox* cbAddrTitle;
    QCheckBox* cbAddrPhone;
    QCheckBox* cbAddrAddr;
    QCheckBox* cbAddrBirthday;
    QCheckBox* cbAddrNote;

    QCheckBox* cbDateSubject;
    QCheckBox* cbDateStartTime;
    QCheckBox* cbDateEndTime;
    QCheckBox* cbDateAllDayEvent;
    QCheckBox* cbDateLocation;
    QCheckBox* cbDateNote;

    QCheckBox* cbTaskSubject;
    QCheckBox* cbTaskImportance;
    QCheckBox* cbTaskDueDate;
    QCheckBox* cbTaskNote;

    QCheckBox* cbCase;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private slots:
    void btnOKClick();
    void btnCancelClick();
};
