// The Qt view of the wait window: a small white tool window without caption or
// taskbar button, centred on the screen, showing the message, the seconds
// elapsed and the block bar of the latest snapshot.
//
// The view's calls arrive on the waiting thread; each is queued onto the UI
// thread, where the widget lives. While shown, the widget is application
// modal: no other window takes input.
#pragma once

#include "CxCommWaitWindow.h"

#include <QPointer>
#include <QWidget>

class TWaitWindowWidget : public QWidget {
    Q_OBJECT
public:
    // parent, when given, is the owner's top-level window; the widget stays a
    // window of its own above it.
    explicit TWaitWindowWidget(QWidget* parent = nullptr);

    // Keeps the snapshot and repaints from it.
    void SetSnapshot(const CxWaitSnapshot& snapshot);
    const CxWaitSnapshot& Snapshot() const { return m_snapshot; }

    // Centres the window on the screen of the owner (or the primary screen),
    // shows it modally and raises it.
    void ShowModal();
    // Hides the window; the window system cannot close it before that.
    void CloseWindow();
    bool IsClosed() const { return m_bClosed; }

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CxWaitSnapshot m_snapshot;
    QFont m_boldFont;
    QFont m_normalFont;
    bool m_bClosed = false;
};

// Makes every wait window started from now on show a TWaitWindowWidget. Call on
// the UI thread once the application object exists.
void InstallQtWaitView();

// The widget of the wait window started last, while it exists (UI thread only).
TWaitWindowWidget* LastQtWaitWidget();
