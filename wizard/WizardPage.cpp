// The common look of the wizard pages and the defaults of the page protocol.
#include "wizard/WizardPage.h"

#include <fstream>
#include <iterator>
#include <vector>

#include <wx/dcbuffer.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/listctrl.h>
#include <wx/mstream.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include "app/InstallerApp.h"

namespace {

// The page window: white, with black-on-white text controls, painted by its page object.
class CPageWindow : public wxPanel {
public:
    CPageWindow(wxWindow* parent, CWizardPage& page)
        : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxBORDER_NONE)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        SetBackgroundColour(*wxWHITE);
        Bind(wxEVT_PAINT, [this, &page](wxPaintEvent&) { page.OnPaint(this); });
    }
};

} // namespace

CWizardPage::CWizardPage(unsigned nIDTemplate) : CDialog(nIDTemplate), m_nTemplateID(nIDTemplate) {}

CWizardPage::~CWizardPage() = default;

wxWindow* CWizardPage::CreateChildWindow(wxWindow* pParent)
{
    return new CPageWindow(pParent, *this);
}

bool CWizardPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Black text on white for text, lists and trees, as the page's colour message gives them on
    // Windows; push buttons keep their own face.
    for (wxWindow* w : m_hWnd->GetChildren()) {
        if (dynamic_cast<wxStaticText*>(w) || dynamic_cast<wxTextCtrl*>(w) || dynamic_cast<wxTreeCtrl*>(w) ||
            dynamic_cast<wxListCtrl*>(w)) {
            w->SetBackgroundColour(*wxWHITE);
            w->SetForegroundColour(*wxBLACK);
        }
    }
    LoadPicture(theApp.SaveResourceToTemp(145, "JPEG", "banner.jpg"));
    return true;
}

void CWizardPage::LoadPicture(const std::string& path)
{
    if (path.empty())
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();

    m_pPicture.reset();
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    {
        wxLogNull quiet; // an undecodable file simply means no banner
        if (!bytes.empty() && image.LoadFile(stream, wxBITMAP_TYPE_ANY) && image.IsOk())
            m_pPicture = std::make_unique<wxBitmap>(image);
    }
    if (m_hWnd)
        m_hWnd->Refresh(true);
}

wxSize CWizardPage::GetPictureSize() const
{
    return m_pPicture ? m_pPicture->GetSize() : wxSize();
}

void CWizardPage::OnPaint(wxWindow* page)
{
    wxAutoBufferedPaintDC dc(page);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    if (m_pPicture && m_pPicture->IsOk())
        dc.DrawBitmap(*m_pPicture, 0, 0, false);
}
