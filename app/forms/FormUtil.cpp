#include "FormUtil.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
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

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, int minWidth,
                       bool autoDefault) {
    auto* button = new QPushButton(Utf8(caption), parent);
    button->setObjectName(name);
    if (minWidth > 0)
        button->setMinimumWidth(minWidth);
    button->setAutoDefault(autoDefault);
    return button;
}

void StackUnderBanner(QWidget* form, QWidget* banner, QLayout* body) {
    auto* top = new QVBoxLayout(form);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    top->addWidget(banner);
    top->addLayout(body, 1);
}
