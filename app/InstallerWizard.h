// The installer's wizard frame: creates every page window as soon as it opens.
#pragma once
#include "wizard/WizardDialog.h"

class CInstallerWizard : public CWizardDialog {
public:
    CInstallerWizard();

protected:
    bool OnInitDialog() override;
};
