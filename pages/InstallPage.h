// Page 3: the installation, shown as it happens in a status line, a progress bar and a file list.
#pragma once
#include "wizard/WizardPage.h"

class wxGauge;
class wxListCtrl;

class CInstallPage : public CWizardPage {
public:
    CInstallPage();

    bool OnQueryCancel() override;

    wxListCtrl* m_listFiles = nullptr;
    wxGauge* m_progress = nullptr;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
};
