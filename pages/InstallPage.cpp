// Page 3: the installation page.
#include "pages/InstallPage.h"

#include <wx/gauge.h>
#include <wx/listctrl.h>

#include "app/MessageBox.h"

CInstallPage::CInstallPage() : CWizardPage(140) {}

void CInstallPage::DoDataExchange(CDataExchange& dx)
{
    CWizardPage::DoDataExchange(dx);
    m_listFiles = dynamic_cast<wxListCtrl*>(GetDlgItem(1027));
    m_progress = dynamic_cast<wxGauge*>(GetDlgItem(1028));
}

bool CInstallPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    if (m_listFiles) {
        m_listFiles->InsertColumn(0, "Uploaded files", wxLIST_FORMAT_LEFT);
        // Exactly as wide as the list's outer rectangle, border included.
        m_listFiles->SetColumnWidth(0, m_listFiles->GetSize().GetWidth());
    }
    return true;
}

bool CInstallPage::OnQueryCancel()
{
    return AfxMessageBox("Exit Installer?", MB_YESNOCANCEL) == IDYES;
}
