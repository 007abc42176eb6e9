// Pictures of the wizard at its first step and of the wait window, for a look
// by eye (build/screenshots/).
#include "CxCommWaitWindowQt.h"
#include "WizardSupport.h"

#include <QRadioButton>

using namespace testsupport;

namespace {

class Screenshots : public WizardTest {};

TEST_F(Screenshots, WizardAtTheAccessPage) {
    OpenWizard();
    EnterCredentials("demo@example.com", "demo", "DEMOTOKEN");
    EXPECT_TRUE(SaveScreenshot(fmMain, "wizard-step0"));
}

TEST_F(Screenshots, WaitWindow) {
    CxCommWaitWindow window;
    window.OnCreate();
    window.SetMessage("Loading salesforce CRM Contacts...");
    for (int i = 0; i < 27; ++i)
        window.Step();
    TWaitWindowWidget widget;
    widget.SetSnapshot(window.GetSnapshot());
    EXPECT_TRUE(SaveScreenshot(&widget, "wait-window"));
}

} // namespace
