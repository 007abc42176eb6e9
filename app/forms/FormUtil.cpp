#include "FormUtil.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CenterOnDesktop(QWidget* window) {
    if (!window)
        return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

TFixedDialog::TFixedDialog(QWidget* owner, const char* caption, int width, int height)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(Utf8(caption));
    setFixedSize(width, height);
    setSizeGripEnabled(false);
    CenterOnDesktop(this);
}

void TFixedDialog::reject() {
    done(mrCancel);
}
