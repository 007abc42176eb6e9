// Conventions every form of the wizard shares: modal results, fixed-size
// dialogs centred on the desktop, and UTF-8 texts.
#pragma once

#include <QDialog>
#include <QString>

class QLayout;
class QPushButton;
class QWidget;

// Results of modal dialogs and answers of message boxes.
enum ModalResult { mrNone = 0, mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// Every text shown in a window is UTF-8.
inline QString Utf8(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

// Gives a control its control name, for the tests and the style sheets.
template <class T> T* Named(T* control, const char* name) {
    control->setObjectName(name);
    return control;
}

// Moves a top-level window to the middle of the desktop it is on.
void CenterOnDesktop(QWidget* window);

// A push button with its control name; minWidth 0 leaves the width to the
// caption. autoDefault false keeps Enter from pressing it when it has focus.
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, int minWidth = 0,
                       bool autoDefault = true);

// Lays out a form as its banner on top and its body below, filling the form.
void StackUnderBanner(QWidget* form, QWidget* banner, QLayout* body);

// A modal dialog with a fixed client area, a title bar with system menu and
// close button, centred on the desktop. Closing it in any way other than
// through one of its own buttons gives mrCancel.
class TFixedDialog : public QDialog {
    Q_OBJECT
public:
    TFixedDialog(QWidget* owner, const char* caption, int width, int height);

    void reject() override;
};
