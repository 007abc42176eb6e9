// The one way the program shows a message box. Tests install a hook that sees
// each request and gives the answer, so that no test meets a real modal box.
#pragma once

#include "FormUtil.h"

#include <QString>
#include <functional>

class QWidget;

enum class MessageIcon { Information, Warning, Error, Question };
enum class MessageButtons { OK, OKCancel, YesNo, YesNoCancel };

struct MessageBoxRequest {
    QWidget* owner;
    QString text;
    QString title;
    MessageIcon icon;
    MessageButtons buttons;
};

// Shows the box modally over owner and returns the answer: mrOK, mrCancel,
// mrYes or mrNo. Closing the box answers mrCancel when it has a Cancel
// button, mrNo for Yes/No and mrOK for OK alone. Its text is selectable.
int ShowMessageBox(QWidget* owner, const QString& text, const QString& title, MessageIcon icon,
                   MessageButtons buttons);

// The same with UTF-8 texts.
int ShowMessageBox(QWidget* owner, const char* text, const char* title, MessageIcon icon,
                   MessageButtons buttons);

// While a hook is set, it receives every request instead of the user and its
// result is the answer. An empty hook restores the real boxes.
void SetMessageBoxHook(std::function<int(const MessageBoxRequest&)> hook);
