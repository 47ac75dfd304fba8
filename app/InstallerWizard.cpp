// The installer's wizard frame.
#include "app/InstallerWizard.h"

#include <wx/dialog.h>
#include <wx/icon.h>
#include <wx/mstream.h>

#include "app/ResourceTable.h"

CInstallerWizard::CInstallerWizard() : CWizardDialog(131) {}

bool CInstallerWizard::OnInitDialog()
{
    m_nPlaceholderID = 1010;
    // Every page's own initialisation runs before the user sees anything.
    for (CWizardPage* page : m_pages) {
        page->Create(m_hWnd);
        page->m_bCreated = true;
        page->m_pWizard = this;
    }
    CWizardDialog::OnInitDialog();

    if (const ResourceEntry* res = FindResourceEntry(128, "ICON")) {
        wxMemoryInputStream stream(res->data, res->size);
        wxImage image;
        if (image.LoadFile(stream, wxBITMAP_TYPE_ICO)) {
            wxIcon icon;
            icon.CopyFromBitmap(wxBitmap(image));
            if (auto* dlg = dynamic_cast<wxDialog*>(m_hWnd))
                dlg->SetIcon(icon);
        }
    }
    return true;
}
