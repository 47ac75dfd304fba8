// A wizard page: a child dialog of the frame with the common look (white, banner on the left) and
// the page side of the wizard protocol.
#pragma once
#include <memory>

#include <wx/bitmap.h>

#include "wizard/Dialog.h"

class CWizardDialog;

class CWizardPage : public CDialog {
public:
    explicit CWizardPage(unsigned nIDTemplate);
    ~CWizardPage() override;

    // Replaces the banner with the picture in the file and repaints the page. A file that cannot be
    // opened keeps the picture held; one that cannot be decoded leaves the page without one.
    void LoadPicture(const std::string& path);
    bool HasPicture() const { return m_pPicture != nullptr; }
    wxSize GetPictureSize() const;

    // The page protocol: the frame calls these.
    virtual bool OnCreatePage() { return true; }
    virtual void OnDestroyPage() {}
    virtual bool OnKillActive() { return true; }
    virtual void OnSetActive() {}
    virtual bool OnQueryCancel() { return true; }
    // 0: the neighbouring page, -1: stay, otherwise the template id of the target page.
    virtual int OnWizardBack() { return 0; }
    virtual int OnWizardNext() { return 0; }
    virtual bool OnWizardFinish() { return true; }

    std::unique_ptr<wxBitmap> m_pPicture;
    CWizardDialog* m_pWizard = nullptr;
    bool m_bCreated = false;
    bool m_bActive = false;
    const unsigned m_nTemplateID;

    // Draws the page: the banner at its natural size at the top-left corner, white elsewhere.
    void OnPaint(wxWindow* page);

protected:
    bool OnInitDialog() override;
    // Enter and Escape inside a page never end or hide it.
    void OnOK() override {}
    void OnCancel() override {}
    wxWindow* CreateChildWindow(wxWindow* pParent) override;
};
