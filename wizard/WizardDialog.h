// A reusable wizard frame: "< Back", "Next >", "Finish", "Cancel" over a list of pages shown one at
// a time at a placeholder control.
#pragma once
#include <list>

#include "wizard/WizardPage.h"

enum : int { ID_WIZBACK = 12323, ID_WIZNEXT = 12324, ID_WIZFINISH = 12325 };

class CWizardDialog : public CDialog {
public:
    explicit CWizardDialog(unsigned nIDTemplate);
    ~CWizardDialog() override;

    CWizardPage* GetActivePage() const;
    CWizardPage* GetPage(int index) const;
    CWizardPage* FindPage(unsigned nTemplateID) const;

    bool ActivatePage(CWizardPage* pPage);
    bool DeactivateActivePage();
    bool ShowFirstPage();
    bool DestroyPage(CWizardPage* pPage);

    void EnableBack(bool bEnable);
    void EnableNext(bool bEnable);
    void EnableFinish(bool bEnable);

    void OnNext();
    void OnBack();
    void OnFinish();
    void OnCancel() override;

    // The pages in order; not owned.
    std::list<CWizardPage*> m_pages;
    unsigned m_nPlaceholderID = 0;

protected:
    bool OnInitDialog() override;
    // Tears the pages down while their windows still exist.
    void OnDestroy() override;
    void BindPopupHandlers(wxDialog* dlg) override;

private:
    void EnableButton(int nID, bool bEnable);
    void OnCharHook(wxKeyEvent& event);
};
