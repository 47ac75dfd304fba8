// Page 1: site information and the stored settings.
#include "pages/SiteInfoPage.h"

#include <wx/window.h>

#include "app/InstallerApp.h"
#include "app/MessageBox.h"

CSiteInfoPage::CSiteInfoPage() : CWizardPage(137)
{
    m_strSiteAddress = theApp.GetProfileString("Settings", "HTTP", "http://");
    m_strFtpHost = theApp.GetProfileString("Settings", "FTP", "ftp://");
    m_strUserName = theApp.GetProfileString("Settings", "User", "Anonymous");
    m_strPassword.clear();
}

void CSiteInfoPage::DoDataExchange(CDataExchange& dx)
{
    CWizardPage::DoDataExchange(dx);
    DDX_Text(dx, 1022, m_strSiteAddress);
    DDX_Text(dx, 1023, m_strFtpHost);
    DDX_Text(dx, 1021, m_strPassword);
    DDX_Text(dx, 1020, m_strUserName);
}

bool CSiteInfoPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    // A 16-pixel bold title.
    m_fontTitle = wxFont(wxFontInfo(wxSize(0, 16)).Bold().FaceName("MS Sans Serif").Family(wxFONTFAMILY_SWISS));
    if (wxWindow* title = GetDlgItem(1030)) {
        title->SetFont(m_fontTitle);
        title->Refresh();
    }
    return true;
}

int CSiteInfoPage::OnWizardNext()
{
    UpdateData(true);
    // Counted in bytes as typed; "http://" alone is not an address.
    if (m_strSiteAddress.size() <= 7) {
        AfxMessageBox("HTTP address is not specified", MB_OK);
        return -1;
    }
    if (m_strFtpHost.empty()) {
        AfxMessageBox("FTP address is not specified", MB_OK);
        return -1;
    }
    if (m_strUserName.empty()) {
        AfxMessageBox("User name is not specified", MB_OK);
        return -1;
    }
    return 0;
}

void CSiteInfoPage::OnDestroy()
{
    UpdateData(true);
    theApp.WriteProfileString("Settings", "HTTP", m_strSiteAddress);
    theApp.WriteProfileString("Settings", "FTP", m_strFtpHost);
    theApp.WriteProfileString("Settings", "User", m_strUserName);
    CWizardPage::OnDestroy();
}
