// Opening a web page, e-mail address, folder or file in the user's desktop,
// with a word to the user when the desktop has no program for it.
#pragma once

#include <string>

class QWidget;

// ShellOpen of target. Should xdg-open be missing or fail, a message box
// owned by owner (when it still exists) shows the target as selectable text,
// so that the user can copy it and open it by hand.
void OpenInDesktop(QWidget* owner, const std::string& target);
