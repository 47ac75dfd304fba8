// Page 2: the destination folder.
#include "pages/FolderPage.h"

CFolderPage::CFolderPage() : CWizardPage(136) {}

void CFolderPage::DoDataExchange(CDataExchange& dx)
{
    CWizardPage::DoDataExchange(dx);
    DDX_Text(dx, 1017, m_strFolderPath);
    DDX_Text(dx, 1026, m_strStatus);
}
