// Base of every window built from a dialog template: creation, data exchange, modal runs, teardown.
#pragma once
#include <string>

#include <wx/window.h>

#include "wizard/DialogBuilder.h"
#include "wizard/DialogTemplate.h"

class wxDialog;

// The standard command ids of the templates.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class CDialog;

// Moves values between a dialog's controls and its members, one direction per pass.
class CDataExchange {
public:
    CDataExchange(CDialog& dlg, bool bSaveAndValidate) : m_dlg(dlg), m_bSaveAndValidate(bSaveAndValidate) {}
    CDialog& m_dlg;
    const bool m_bSaveAndValidate;
};

void DDX_Text(CDataExchange& dx, int nIDC, std::string& value);

class CDialog {
public:
    explicit CDialog(unsigned nIDTemplate);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    unsigned GetTemplateID() const { return m_nIDTemplate; }
    const DialogTemplate* GetTemplate() const;

    // The window while it exists, else null.
    wxWindow* GetSafeHwnd() const { return m_hWnd; }
    wxWindow* GetDlgItem(int nID) const;
    std::string GetDlgItemText(int nID) const;
    void SetDlgItemText(int nID, const std::string& text);

    // Controls to members (true) or members to controls (false).
    bool UpdateData(bool bSaveAndValidate = true);

    // A child dialog inside pParent, built from the template; runs OnInitDialog. The window starts
    // as the template says (pages: hidden and disabled).
    bool Create(wxWindow* pParent);
    // A pop-up dialog, run modally; returns the id that ended it (IDOK, IDCANCEL, ...). On IDOK the
    // controls are read into the members before the window goes.
    virtual int DoModal(wxWindow* pParent = nullptr);
    // The same pop-up, shown without a modal loop (tests and screenshots drive it themselves).
    bool CreateModeless(wxWindow* pParent = nullptr);
    // Ends a modal run with nResult; a modeless window is hidden and keeps the result.
    void EndDialog(int nResult);
    int GetModalResult() const { return m_nModalResult; }

    // Runs OnDestroy, then destroys the window and its controls.
    void DestroyWindow();

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // The window is about to be destroyed; its controls still exist.
    virtual void OnDestroy() {}
    virtual void OnOK();
    virtual void OnCancel();
    // The window that holds the controls of a child dialog; pages make their own.
    virtual wxWindow* CreateChildWindow(wxWindow* pParent);
    // Builds controls of classes the builder does not know; null for the standard one.
    virtual wxWindow* CreateCustomControl(const ControlTemplate&, wxWindow*, const wxRect&) { return nullptr; }
    // Binds the pop-up's handlers; by default OK (1) and Cancel (2).
    virtual void BindPopupHandlers(wxDialog* dlg);

    wxWindow* m_hWnd = nullptr;

private:
    wxDialog* CreatePopup(wxWindow* pParent);
    void Attach(wxWindow* w);
    void Build(wxWindow* container);

    unsigned m_nIDTemplate;
    int m_nModalResult = 0;
};
