// Page 2: the destination folder on the FTP account.
#pragma once
#include <string>

#include "wizard/WizardPage.h"

class CFolderPage : public CWizardPage {
public:
    CFolderPage();

    // The chosen remote folder: "/" for the FTP root, otherwise "/" and each folder name followed
    // by "/".
    std::string m_strFolderPath;
    std::string m_strStatus;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
