// Base of every window built from a dialog template.
#include "wizard/Dialog.h"

#include <wx/dialog.h>
#include <wx/panel.h>
#include <wx/textctrl.h>

namespace {

long PopupStyle(const DialogTemplate& t)
{
    long style = 0;
    if ((t.style & ws::CAPTION) == ws::CAPTION)
        style |= wxCAPTION;
    if (t.style & ws::SYSMENU)
        style |= wxSYSTEM_MENU | wxCLOSE_BOX;
    if (t.style & ws::MINIMIZEBOX)
        style |= wxMINIMIZE_BOX;
    return style;
}

} // namespace

void DDX_Text(CDataExchange& dx, int nIDC, std::string& value)
{
    if (dx.m_bSaveAndValidate)
        value = dx.m_dlg.GetDlgItemText(nIDC);
    else
        dx.m_dlg.SetDlgItemText(nIDC, value);
}

CDialog::CDialog(unsigned nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

CDialog::~CDialog()
{
    DestroyWindow();
}

const DialogTemplate* CDialog::GetTemplate() const
{
    return CResourceScript::Installer().FindDialog(m_nIDTemplate);
}

wxWindow* CDialog::GetDlgItem(int nID) const
{
    return m_hWnd ? m_hWnd->FindWindow(nID) : nullptr;
}

std::string CDialog::GetDlgItemText(int nID) const
{
    wxWindow* w = GetDlgItem(nID);
    if (!w)
        return {};
    if (auto* t = dynamic_cast<wxTextCtrl*>(w))
        return t->GetValue().utf8_string();
    return w->GetLabel().utf8_string();
}

void CDialog::SetDlgItemText(int nID, const std::string& text)
{
    wxWindow* w = GetDlgItem(nID);
    if (!w)
        return;
    const wxString s = wxString::FromUTF8(text);
    if (auto* t = dynamic_cast<wxTextCtrl*>(w)) {
        // ChangeValue sends no change event: setting a control is not the user typing.
        if (t->GetValue() != s)
            t->ChangeValue(s);
    } else {
        w->SetLabel(s);
    }
}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    if (!m_hWnd)
        return false;
    CDataExchange dx(*this, bSaveAndValidate);
    DoDataExchange(dx);
    return true;
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&) {}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::Build(wxWindow* container)
{
    const DialogTemplate* t = GetTemplate();
    if (!t)
        return;
    BuildControls(*t, container, [this](const ControlTemplate& c, wxWindow* parent, const wxRect& r) {
        return CreateCustomControl(c, parent, r);
    });
}

wxWindow* CDialog::CreateChildWindow(wxWindow* pParent)
{
    return new wxPanel(pParent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxBORDER_NONE);
}

void CDialog::Attach(wxWindow* w)
{
    m_hWnd = w;
    // A window can also go with its parent; the object must not keep a pointer to it then.
    w->Bind(wxEVT_DESTROY, [this, w](wxWindowDestroyEvent& e) {
        if (e.GetEventObject() == w && m_hWnd == w)
            m_hWnd = nullptr;
        e.Skip();
    });
}

bool CDialog::Create(wxWindow* pParent)
{
    const DialogTemplate* t = GetTemplate();
    if (!t || !pParent || m_hWnd)
        return false;
    wxWindow* w = CreateChildWindow(pParent);
    if (!w)
        return false;
    if (!(t->style & ws::VISIBLE))
        w->Hide();
    Attach(w);
    Build(w);
    if (t->style & ws::DISABLED)
        w->Disable();
    OnInitDialog();
    return true;
}

wxDialog* CDialog::CreatePopup(wxWindow* pParent)
{
    const DialogTemplate* t = GetTemplate();
    if (!t || m_hWnd)
        return nullptr;
    auto* dlg = new wxDialog(pParent, static_cast<wxWindowID>(m_nIDTemplate), wxString::FromUTF8(t->caption),
                             wxDefaultPosition, wxDefaultSize, PopupStyle(*t));
    Attach(dlg);
    Build(dlg);
    BindPopupHandlers(dlg);
    dlg->Centre();
    return dlg;
}

void CDialog::BindPopupHandlers(wxDialog* dlg)
{
    dlg->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, IDOK);
    dlg->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, IDCANCEL);
    // Escape and the close box mean Cancel, as in any dialog.
    dlg->SetEscapeId(IDCANCEL);
    dlg->SetAffirmativeId(IDOK);
}

int CDialog::DoModal(wxWindow* pParent)
{
    wxDialog* dlg = CreatePopup(pParent);
    if (!dlg)
        return -1;
    m_nModalResult = 0;
    OnInitDialog();
    const int result = dlg->ShowModal();
    m_nModalResult = result;
    if (result == IDOK)
        UpdateData(true);
    DestroyWindow();
    return result;
}

bool CDialog::CreateModeless(wxWindow* pParent)
{
    wxDialog* dlg = CreatePopup(pParent);
    if (!dlg)
        return false;
    m_nModalResult = 0;
    OnInitDialog();
    dlg->Show();
    return true;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    auto* dlg = dynamic_cast<wxDialog*>(m_hWnd);
    if (dlg && dlg->IsModal())
        dlg->EndModal(nResult);
    else if (m_hWnd)
        m_hWnd->Hide();
}

void CDialog::DestroyWindow()
{
    if (!m_hWnd)
        return;
    OnDestroy();
    wxWindow* w = m_hWnd;
    m_hWnd = nullptr;
    if (w->IsTopLevel())
        delete w;
    else
        w->Destroy();
}
