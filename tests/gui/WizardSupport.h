// A wizard window for a test: a home of its own, settings and debug log put
// back afterwards, loading replaced by a hook when the test gives one, and the
// window destroyed at the end.
#pragma once

#include "CrmData.h"
#include "CxCommWaitWindow.h"
#include "GuiSupport.h"
#include "Main.h"
#include "Sfsource.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

namespace testsupport {

class WizardTest : public ::testing::Test {
protected:
    WizardTest() : m_settingsPath(SettingsFile.GetPath()) {}

    void TearDown() override {
        DestroyWizard();
        SetLoadCrmDataHook(nullptr);
        WaitForWaitWindowEnd(5000);
        SetWaitViewFactory(nullptr);
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        if (!m_settingsPath.empty())
            SettingsFile.SetPath(m_settingsPath.c_str());
    }

    TfmMain* OpenWizard() {
        auto* wizard = new TfmMain;
        wizard->show();
        QCoreApplication::processEvents();
        return wizard;
    }

    // Deletes the wizard the way the event loop would after a close.
    static void FlushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static void DestroyWizard() {
        FlushDeletes();
        delete fmMain;
    }

    // Fills the access page with credentials that pass every check.
    static void EnterCredentials(const char* user = "demo@example.com",
                                 const char* password = "demo", const char* token = "DEMOTOKEN") {
        SourcePage->edtUserName->setText(QString::fromUtf8(user));
        SourcePage->edtPassword->setText(QString::fromUtf8(password));
        SourcePage->edtToken->setText(QString::fromUtf8(token));
    }

    static std::string StepText() { return fmMain->lblStep->text().toStdString(); }

    std::string SettingsPath() const { return home.DataFolder() + "velmora.ini"; }

    IsolatedHome home;
    AppSettingsGuard settingsGuard;
    DebugLogGuard logGuard;

private:
    std::string m_settingsPath;
};

} // namespace testsupport
