#include "MessageBox.h"

#include <QMessageBox>
#include <utility>

namespace {

std::function<int(const MessageBoxRequest&)>& Hook() {
    static std::function<int(const MessageBoxRequest&)> hook;
    return hook;
}

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape;
};

ButtonSet ToQtButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OK:
        return {QMessageBox::Ok, QMessageBox::Ok};
    case MessageButtons::OKCancel:
        return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel};
    case MessageButtons::YesNo:
        return {QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    case MessageButtons::YesNoCancel:
        return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok, QMessageBox::Ok};
}

int ToAnswer(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return mrOK;
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    default:
        return mrCancel;
    }
}

} // namespace

int ShowMessageBox(QWidget* owner, const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons) {
    // A copy, so that a hook may replace itself while it answers.
    if (std::function<int(const MessageBoxRequest&)> hook = Hook())
        return hook(MessageBoxRequest{owner, text, title, icon, buttons});
    ButtonSet set = ToQtButtons(buttons);
    QMessageBox box(ToQtIcon(icon), title, text, set.buttons, owner);
    box.setEscapeButton(set.escape);
    // The user may copy what a box says (an address, a path, an error).
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.setDefaultButton(buttons == MessageButtons::OK || buttons == MessageButtons::OKCancel
                             ? QMessageBox::Ok
                             : QMessageBox::Yes);
    int button = box.exec();
    // Closing the box through its title bar reports the escape button.
    if (button != QMessageBox::Ok && button != QMessageBox::Yes && button != QMessageBox::No &&
        button != QMessageBox::Cancel)
        button = set.escape;
    return ToAnswer(button);
}

int ShowMessageBox(QWidget* owner, const char* text, const char* title, MessageIcon icon,
                   MessageButtons buttons) {
    return ShowMessageBox(owner, Utf8(text), Utf8(title), icon, buttons);
}

void SetMessageBoxHook(std::function<int(const MessageBoxRequest&)> hook) {
    Hook() = std::move(hook);
}
