// Page 1: the site's web address and the FTP account, kept between runs (but the password).
#pragma once
#include <string>

#include <wx/font.h>

#include "wizard/WizardPage.h"

class CSiteInfoPage : public CWizardPage {
public:
    CSiteInfoPage();

    int OnWizardNext() override;

    std::string m_strSiteAddress;
    std::string m_strFtpHost;
    std::string m_strPassword;
    std::string m_strUserName;
    wxFont m_fontTitle;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnDestroy() override;
};
