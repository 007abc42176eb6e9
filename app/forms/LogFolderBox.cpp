#include "LogFolderBox.h"

#include "Apputil.h"
#include "DesktopOpen.h"
#include "FormUtil.h"
#include "MessageBox.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

namespace {

QLineEdit* NewPathEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    return edit;
}

QPushButton* NewBrowseButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(Utf8("..."), parent);
    button->setObjectName(name);
    button->setFixedWidth(32);
    button->setAutoDefault(false);
    return button;
}

// A long path shows its beginning; the whole of it is in the tip.
void SetPathText(QLineEdit* edit, const QString& path) {
    edit->setText(path);
    edit->setCursorPosition(0);
    edit->setToolTip(path);
}

} // namespace

TLogFolderBox::TLogFolderBox(QWidget* parent, QWidget* intro)
    : QGroupBox(Utf8(" Debug Information "), parent) {
    setObjectName("GroupBox1");
    Label4 = new QLabel(Utf8("Log Folder:"), this);
    Label4->setObjectName("Label4");
    edtFolder = NewPathEdit(this, "edtFolder");
    QPalette pal = edtFolder->palette();
    pal.setColor(QPalette::Base, QColor(204, 255, 204));
    edtFolder->setPalette(pal);
    btnFolder = NewBrowseButton(this, "btnFolder");
    Label5 = new QLabel(Utf8("Log File:"), this);
    Label5->setObjectName("Label5");
    edtFile = NewPathEdit(this, "edtFile");
    btnFile = NewBrowseButton(this, "btnFile");
    connect(btnFolder, &QPushButton::clicked, this, &TLogFolderBox::btnFolderClick);
    connect(btnFile, &QPushButton::clicked, this, &TLogFolderBox::btnFileClick);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 10, 12, 12);
    column->setSpacing(8);
    if (intro) {
        intro->setParent(this);
        column->addWidget(intro);
    }
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->addWidget(Label4, 0, 0);
    grid->addWidget(edtFolder, 0, 1);
    grid->addWidget(btnFolder, 0, 2);
    grid->addWidget(Label5, 1, 0);
    grid->addWidget(edtFile, 1, 1);
    grid->addWidget(btnFile, 1, 2);
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);

    FillLogControls();
}

void TLogFolderBox::FillLogControls() {
    char folder[260];
    if (!GetDataFolder(folder)) {
        edtFolder->clear();
        edtFile->clear();
        btnFolder->setEnabled(false);
        btnFile->setEnabled(false);
        return;
    }
    SetPathText(edtFolder, Utf8(folder));
    SetPathText(edtFile, Utf8((std::string(folder) + "appdebug.log").c_str()));
}

void TLogFolderBox::btnFolderClick() {
    OpenInDesktop(window(), edtFolder->text().toStdString());
}

void TLogFolderBox::btnFileClick() {
    QString path = edtFile->text();
    if (!QFileInfo(path).isFile()) {
        ShowMessageBox(window(), "Debug log file doesn't exist", "Error", MessageIcon::Information,
                       MessageButtons::OK);
        return;
    }
    OpenInDesktop(window(), path.toStdString());
}
