// The wizard frame: page list, navigation between pages and the state of its buttons.
#include "wizard/WizardDialog.h"

#include <algorithm>
#include <iterator>

#include <wx/dialog.h>

CWizardDialog::CWizardDialog(unsigned nIDTemplate) : CDialog(nIDTemplate) {}

CWizardDialog::~CWizardDialog()
{
    DestroyWindow();
    m_pages.clear();
}

CWizardPage* CWizardDialog::GetActivePage() const
{
    for (CWizardPage* p : m_pages)
        if (p->m_bActive)
            return p;
    return nullptr;
}

CWizardPage* CWizardDialog::GetPage(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_pages.size()))
        return nullptr;
    return *std::next(m_pages.begin(), index);
}

CWizardPage* CWizardDialog::FindPage(unsigned nTemplateID) const
{
    for (CWizardPage* p : m_pages)
        if (p->m_nTemplateID == nTemplateID)
            return p;
    return nullptr;
}

void CWizardDialog::BindPopupHandlers(wxDialog* dlg)
{
    dlg->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnNext(); }, ID_WIZNEXT);
    dlg->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBack(); }, ID_WIZBACK);
    dlg->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnFinish(); }, ID_WIZFINISH);
    dlg->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnCancel(); }, IDCANCEL);
    // The close box and Alt+F4 are Cancel; the pages decide whether the wizard really closes.
    dlg->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
        if (e.CanVeto())
            e.Veto();
        OnCancel();
    });
    dlg->Bind(wxEVT_CHAR_HOOK, &CWizardDialog::OnCharHook, this);
    dlg->SetEscapeId(wxID_NONE);
    dlg->SetAffirmativeId(wxID_NONE);
}

void CWizardDialog::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() != WXK_ESCAPE) {
        event.Skip();
        return;
    }
    // Escape inside a page belongs to the page, which ignores it; on the frame's own buttons it is
    // Cancel.
    wxWindow* focus = wxWindow::FindFocus();
    for (CWizardPage* p : m_pages) {
        wxWindow* page = p->GetSafeHwnd();
        for (wxWindow* w = focus; w && page; w = w->GetParent())
            if (w == page)
                return;
    }
    OnCancel();
}

bool CWizardDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Tab moves on into the controls of the shown page: the page windows take part in the frame's
    // keyboard navigation.
    m_hWnd->SetWindowStyleFlag(m_hWnd->GetWindowStyleFlag() | wxTAB_TRAVERSAL);
    ShowFirstPage();
    return true;
}

bool CWizardDialog::ShowFirstPage()
{
    if (m_pages.empty())
        return false;
    CWizardPage* first = m_pages.front();
    if (!DeactivateActivePage())
        return false;
    EnableBack(false);
    if (m_pages.size() > 1) {
        EnableFinish(false);
        EnableNext(true);
    } else {
        EnableFinish(true);
        EnableNext(false);
    }
    return ActivatePage(first);
}

bool CWizardDialog::ActivatePage(CWizardPage* pPage)
{
    if (!pPage || !m_hWnd)
        return false;
    if (!pPage->m_bCreated) {
        if (!pPage->Create(m_hWnd))
            return false;
        pPage->m_bCreated = true;
        pPage->m_pWizard = this;
        if (!pPage->OnCreatePage())
            return false;
    }
    if (!DeactivateActivePage())
        return false;

    wxWindow* page = pPage->GetSafeHwnd();
    wxWindow* placeholder = GetDlgItem(static_cast<int>(m_nPlaceholderID));
    if (page && placeholder)
        page->Move(placeholder->GetPosition());
    if (page) {
        page->Enable();
        page->Show();
        page->Refresh(true);
        page->Update();
    }
    pPage->OnSetActive();
    pPage->m_bActive = true;
    return true;
}

bool CWizardDialog::DeactivateActivePage()
{
    CWizardPage* active = GetActivePage();
    if (!active)
        return true;
    if (!active->OnKillActive())
        return false;
    if (wxWindow* page = active->GetSafeHwnd())
        page->Hide();
    active->m_bActive = false;
    return true;
}

void CWizardDialog::OnNext()
{
    CWizardPage* active = GetActivePage();
    if (!active)
        return;
    const int result = active->OnWizardNext();
    if (result == -1)
        return;
    CWizardPage* target = nullptr;
    if (result == 0) {
        auto it = std::find(m_pages.begin(), m_pages.end(), active);
        if (it != m_pages.end() && std::next(it) != m_pages.end())
            target = *std::next(it);
    } else {
        target = FindPage(static_cast<unsigned>(result));
    }
    if (!target || !ActivatePage(target))
        return;
    if (target == m_pages.back()) {
        EnableNext(false);
        EnableFinish(true);
    }
    EnableBack(true);
}

void CWizardDialog::OnBack()
{
    CWizardPage* active = GetActivePage();
    if (!active)
        return;
    const int result = active->OnWizardBack();
    if (result == -1)
        return;
    CWizardPage* target = nullptr;
    if (result == 0) {
        auto it = std::find(m_pages.begin(), m_pages.end(), active);
        if (it != m_pages.end() && it != m_pages.begin())
            target = *std::prev(it);
    } else {
        target = FindPage(static_cast<unsigned>(result));
    }
    if (!target || !ActivatePage(target))
        return;
    if (target == m_pages.front()) {
        EnableBack(false);
        EnableFinish(false);
    }
    EnableNext(true);
}

void CWizardDialog::OnFinish()
{
    CWizardPage* active = GetActivePage();
    if (active && !active->OnKillActive())
        return;
    for (CWizardPage* p : m_pages)
        if (p->m_bCreated && !p->OnWizardFinish())
            return;
    EndDialog(ID_WIZFINISH);
}

void CWizardDialog::OnCancel()
{
    for (CWizardPage* p : m_pages)
        if (p->m_bCreated && !p->OnQueryCancel())
            return;
    EndDialog(IDCANCEL);
}

void CWizardDialog::OnDestroy()
{
    for (CWizardPage* p : m_pages)
        DestroyPage(p);
    // A page that refused to go still loses its window with the frame, without OnDestroyPage.
    for (CWizardPage* p : m_pages)
        p->DestroyWindow();
}

bool CWizardDialog::DestroyPage(CWizardPage* pPage)
{
    if (!pPage->m_bCreated)
        return true;
    if (!pPage->OnKillActive())
        return false;
    pPage->OnDestroyPage();
    pPage->DestroyWindow();
    pPage->m_bCreated = false;
    return true;
}

void CWizardDialog::EnableButton(int nID, bool bEnable)
{
    if (wxWindow* b = GetDlgItem(nID))
        b->Enable(bEnable);
}

void CWizardDialog::EnableBack(bool bEnable)
{
    EnableButton(ID_WIZBACK, bEnable);
}

void CWizardDialog::EnableNext(bool bEnable)
{
    EnableButton(ID_WIZNEXT, bEnable);
}

void CWizardDialog::EnableFinish(bool bEnable)
{
    EnableButton(ID_WIZFINISH, bEnable);
}
