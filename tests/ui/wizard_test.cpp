// The wizard frame's navigation, button states and page protocol, over scripted test pages.
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "support/UiTest.h"
#include "app/InstallerWizard.h"
#include "wizard/WizardDialog.h"

namespace {

// A page whose answers the test sets, and which records every protocol call as "<id>:<call>".
class ScriptedPage : public CWizardPage {
public:
    ScriptedPage(unsigned id, std::vector<std::string>& calls) : CWizardPage(id), m_calls(calls) {}

    bool killActive = true, queryCancel = true, wizardFinish = true;
    int wizardNext = 0, wizardBack = 0;

    bool OnKillActive() override { return Record("kill", killActive); }
    void OnSetActive() override { Record("set", true); }
    bool OnQueryCancel() override { return Record("cancel?", queryCancel); }
    int OnWizardNext() override { Record("next", true); return wizardNext; }
    int OnWizardBack() override { Record("back", true); return wizardBack; }
    bool OnWizardFinish() override { return Record("finish", wizardFinish); }
    void OnDestroyPage() override { Record("destroy", true); }

private:
    bool Record(const char* what, bool result)
    {
        m_calls.push_back(std::to_string(m_nTemplateID) + ":" + what);
        return result;
    }
    std::vector<std::string>& m_calls;
};

// The installer's frame (which creates every page window when it opens) over pages built from the
// installer's page templates (137, 136, 140), shown without a modal loop so the test can press its
// buttons. With lazy set, the generic frame instead, which creates a page on its first showing.
class WizardTest : public testing::Test {
protected:
    void Open(int pageCount = 3, bool lazy = false)
    {
        wizard = lazy ? std::make_unique<CWizardDialog>(131) : std::make_unique<CInstallerWizard>();
        const unsigned ids[] = {137, 136, 140};
        for (int i = 0; i < pageCount; ++i)
            pages.push_back(std::make_unique<ScriptedPage>(ids[i], calls));
        for (auto& p : pages)
            wizard->m_pages.push_back(p.get());
        wizard->m_nPlaceholderID = 1010;
        ASSERT_TRUE(wizard->CreateModeless());
        PumpEvents();
        calls.clear();
    }
    void TearDown() override
    {
        if (wizard)
            wizard->DestroyWindow();
        PumpEvents(1);
    }

    // "BNFC": which of < Back, Next >, Finish, Cancel are enabled.
    std::string Buttons() const
    {
        std::string s;
        for (int id : {int(ID_WIZBACK), int(ID_WIZNEXT), int(ID_WIZFINISH), int(IDCANCEL)})
            s += wizard->GetDlgItem(id)->IsEnabled() ? "1" : "0";
        return s;
    }
    // Presses a frame button the way a click does: its command event.
    void Press(int id)
    {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(wizard->GetDlgItem(id));
        wizard->GetDlgItem(id)->GetEventHandler()->ProcessEvent(click);
        PumpEvents(1);
    }
    unsigned Active() const { return wizard->GetActivePage() ? wizard->GetActivePage()->m_nTemplateID : 0; }
    ScriptedPage& Page(int i) { return *pages[static_cast<size_t>(i)]; }

    std::vector<std::string> calls;
    std::vector<std::unique_ptr<ScriptedPage>> pages;
    std::unique_ptr<CWizardDialog> wizard;
};

TEST_F(WizardTest, OpensOnFirstPageWithBackAndFinishDisabled)
{
    Open();
    EXPECT_EQ(Active(), 137u);
    EXPECT_EQ(Buttons(), "0101");
    EXPECT_TRUE(Page(0).GetSafeHwnd()->IsShown());
    EXPECT_TRUE(Page(0).GetSafeHwnd()->IsEnabled());
    // The page sits at the placeholder's top-left corner.
    EXPECT_EQ(Page(0).GetSafeHwnd()->GetPosition(), wizard->GetDlgItem(1010)->GetPosition());
    EXPECT_EQ(wizard->GetPage(1), &Page(1));
    EXPECT_EQ(wizard->GetPage(3), nullptr);
    EXPECT_EQ(wizard->FindPage(140), &Page(2));
    EXPECT_EQ(wizard->FindPage(999), nullptr);
}

TEST_F(WizardTest, OnePageWizardHasFinishInsteadOfNext)
{
    Open(1);
    EXPECT_EQ(Buttons(), "0011");
}

TEST_F(WizardTest, NextAndBackWalkThePagesAndSetTheButtons)
{
    Open();
    struct Step {
        int button;
        unsigned active;
        const char* buttons;
    } steps[] = {
        {ID_WIZNEXT, 136, "1101"},  // middle page: Finish still disabled
        {ID_WIZNEXT, 140, "1011"},  // last page: Next off, Finish on
        {ID_WIZBACK, 136, "1111"},  // back to the middle: Next on, Finish as it was
        {ID_WIZBACK, 137, "0101"},  // first page: Back and Finish off
    };
    for (const Step& s : steps) {
        Press(s.button);
        EXPECT_EQ(Active(), s.active);
        EXPECT_EQ(Buttons(), s.buttons) << "after moving to " << s.active;
        for (auto& p : pages)
            if (p->GetSafeHwnd()) {
                EXPECT_EQ(p->GetSafeHwnd()->IsShown(), p->m_nTemplateID == s.active);
            }
    }
}

TEST_F(WizardTest, PageAnswersDecideWhereNextGoes)
{
    struct Case {
        const char* name;
        int answer;
        unsigned expected;
        std::vector<std::string> calls;
    } cases[] = {
        {"stay", -1, 137, {"137:next"}},
        {"jump to last", 140, 140, {"137:next", "137:kill", "140:set"}},
        {"own id: hidden and shown again", 137, 137, {"137:next", "137:kill", "137:set"}},
        {"unknown id", 4242, 137, {"137:next"}},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        Page(0).wizardNext = c.answer;
        Press(ID_WIZNEXT);
        EXPECT_EQ(Active(), c.expected);
        EXPECT_EQ(calls, c.calls);
        wizard->ShowFirstPage();
    }
}

TEST_F(WizardTest, NextPastTheEndAndBackBeforeTheStartChangeNothing)
{
    Open(1);
    Press(ID_WIZNEXT);
    Press(ID_WIZBACK);
    EXPECT_EQ(Active(), 137u);
    EXPECT_EQ(Buttons(), "0011");
}

TEST_F(WizardTest, RefusedKillActiveBlocksNextBackAndFinish)
{
    Open();
    Press(ID_WIZNEXT);
    Page(1).killActive = false;
    Press(ID_WIZNEXT);
    EXPECT_EQ(Active(), 136u);
    Press(ID_WIZBACK);
    EXPECT_EQ(Active(), 136u);
    calls.clear();
    Press(ID_WIZFINISH);
    EXPECT_EQ(calls, (std::vector<std::string>{"136:kill"}));
    EXPECT_EQ(wizard->GetModalResult(), 0);
    EXPECT_TRUE(Page(1).GetSafeHwnd()->IsShown());
}

TEST_F(WizardTest, RefusingPageIsNotDestroyedByTheFrame)
{
    Open();
    Page(1).killActive = false;
    wizard->DestroyWindow();
    // The frame asked every created page and left the refusing one alone; its window still went
    // with the frame.
    EXPECT_EQ(calls, (std::vector<std::string>{"137:kill", "137:destroy", "136:kill", "140:kill", "140:destroy"}));
    EXPECT_FALSE(Page(0).m_bCreated);
    EXPECT_TRUE(Page(1).m_bCreated);
    EXPECT_EQ(Page(1).GetSafeHwnd(), nullptr);
}

TEST_F(WizardTest, FinishAsksActivePageThenEveryPageInOrder)
{
    Open();
    Press(ID_WIZNEXT);
    Press(ID_WIZNEXT);
    calls.clear();
    Page(1).wizardFinish = false;
    Press(ID_WIZFINISH);
    EXPECT_EQ(calls, (std::vector<std::string>{"140:kill", "137:finish", "136:finish"}));
    EXPECT_EQ(wizard->GetModalResult(), 0);
    // The refused finish left the page active and shown.
    EXPECT_EQ(Active(), 140u);

    calls.clear();
    Page(1).wizardFinish = true;
    Press(ID_WIZFINISH);
    EXPECT_EQ(calls, (std::vector<std::string>{"140:kill", "137:finish", "136:finish", "140:finish"}));
    EXPECT_EQ(wizard->GetModalResult(), ID_WIZFINISH);

    // The teardown that follows asks every created page once more.
    calls.clear();
    wizard->DestroyWindow();
    EXPECT_EQ(calls, (std::vector<std::string>{"137:kill", "137:destroy", "136:kill", "136:destroy", "140:kill",
                                               "140:destroy"}));
}

TEST_F(WizardTest, CancelAsksEveryCreatedPageInOrderAndStopsAtTheFirstNo)
{
    Open();
    Page(1).queryCancel = false;
    Press(IDCANCEL);
    EXPECT_EQ(calls, (std::vector<std::string>{"137:cancel?", "136:cancel?"}));
    EXPECT_EQ(wizard->GetModalResult(), 0);

    calls.clear();
    Page(1).queryCancel = true;
    Press(IDCANCEL);
    EXPECT_EQ(calls, (std::vector<std::string>{"137:cancel?", "136:cancel?", "140:cancel?"}));
    EXPECT_EQ(wizard->GetModalResult(), IDCANCEL);
}

TEST_F(WizardTest, CloseBoxIsCancel)
{
    Open();
    Page(2).queryCancel = false;
    EXPECT_FALSE(wizard->GetSafeHwnd()->Close());
    EXPECT_EQ(calls, (std::vector<std::string>{"137:cancel?", "136:cancel?", "140:cancel?"}));
    EXPECT_TRUE(wizard->GetSafeHwnd()->IsShown());
    Page(2).queryCancel = true;
    wizard->GetSafeHwnd()->Close();
    EXPECT_EQ(wizard->GetModalResult(), IDCANCEL);
}

TEST_F(WizardTest, PagesCreatedLazilyOnFirstActivation)
{
    // The generic frame creates a page's window only when it is first shown.
    Open(3, true);
    EXPECT_TRUE(Page(0).m_bCreated);
    EXPECT_FALSE(Page(1).m_bCreated);
    EXPECT_EQ(Page(1).m_pWizard, nullptr);
    Press(ID_WIZNEXT);
    EXPECT_TRUE(Page(1).m_bCreated);
    EXPECT_EQ(Page(1).m_pWizard, wizard.get());
    // Cancel asks created pages only.
    calls.clear();
    Press(IDCANCEL);
    EXPECT_EQ(calls, (std::vector<std::string>{"137:cancel?", "136:cancel?"}));
}

TEST_F(WizardTest, EscapeInsideAPageChangesNothingButOnTheFrameItCancels)
{
    Open();
    auto* edit = dynamic_cast<wxTextCtrl*>(Page(0).GetDlgItem(1022));
    ASSERT_NE(edit, nullptr);
    edit->SetFocus();
    PumpEvents();
    wxUIActionSimulator sim;
    sim.Char(WXK_ESCAPE);
    sim.Char(WXK_RETURN);
    PumpEvents(5);
    EXPECT_TRUE(calls.empty()) << calls.front();
    EXPECT_TRUE(Page(0).GetSafeHwnd()->IsShown());
    EXPECT_EQ(wizard->GetModalResult(), 0);

    wizard->GetDlgItem(ID_WIZNEXT)->SetFocus();
    PumpEvents();
    sim.Char(WXK_ESCAPE);
    PumpEvents(5);
    EXPECT_EQ(calls, (std::vector<std::string>{"137:cancel?", "136:cancel?", "140:cancel?"}));
}

} // namespace
