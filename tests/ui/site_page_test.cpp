// The site information page: its refusals, its title, and the settings kept between runs.
#include <filesystem>
#include <fstream>
#include <iterator>

#include <wx/textctrl.h>

#include "app/InstallerApp.h"
#include "app/InstallerWizard.h"
#include "pages/FolderPage.h"
#include "pages/InstallPage.h"
#include "pages/SiteInfoPage.h"
#include "support/ReadAll.h"
#include "support/UiTest.h"

namespace {

// One run of the wizard's pages: the settings are loaded when the pages are made and saved when the
// frame is torn down.
struct WizardRun {
    WizardRun()
    {
        wizard.m_pages = {&site, &folder, &install};
        wizard.CreateModeless();
        PumpEvents();
    }
    ~WizardRun() { Close(); }
    void Close()
    {
        wizard.DestroyWindow();
        PumpEvents(1);
    }
    void Type(int id, const std::string& text)
    {
        dynamic_cast<wxTextCtrl*>(site.GetDlgItem(id))->SetValue(wxString::FromUTF8(text));
    }
    std::string Shown(int id) { return site.GetDlgItemText(id); }
    void PressNext()
    {
        wxCommandEvent click(wxEVT_BUTTON, ID_WIZNEXT);
        wizard.GetDlgItem(ID_WIZNEXT)->GetEventHandler()->ProcessEvent(click);
    }
    unsigned Active() { return wizard.GetActivePage()->m_nTemplateID; }

    CFolderPage folder;
    CSiteInfoPage site;
    CInstallPage install;
    CInstallerWizard wizard;
};

class SitePageTest : public testing::Test {
protected:
    void SetUp() override { theApp.SetRegistryKey("Velmora LLC."); }
    ScratchFolder scratch;
};

TEST_F(SitePageTest, FirstRunShowsTheDefaultsAndAPlainNextIsRefused)
{
    WizardRun run;
    EXPECT_EQ(run.Shown(1022), "http://");
    EXPECT_EQ(run.Shown(1023), "ftp://");
    EXPECT_EQ(run.Shown(1020), "Anonymous");
    EXPECT_EQ(run.Shown(1021), "");
    wxTEST_DIALOG(run.PressNext(), ExpectMessage("HTTP address is not specified"));
    EXPECT_EQ(run.Active(), 137u);
}

TEST_F(SitePageTest, OnlyTheFirstMissingFieldIsReported)
{
    struct Case {
        const char* site;
        const char* ftp;
        const char* user;
        const char* message; // empty: the wizard moves on
    } cases[] = {
        {"1234567", "ftp.example.com", "joe", "HTTP address is not specified"},  // 7 characters
        {"", "", "", "HTTP address is not specified"},
        {"12345678", "", "joe", "FTP address is not specified"},  // 8 characters pass
        {"http://example.com", "ftp.example.com", "", "User name is not specified"},
        {"http://example.com", "h", "u", ""},  // the password is not checked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.site + std::string(" / ") + c.ftp + " / " + c.user);
        WizardRun run;
        run.Type(1022, c.site);
        run.Type(1023, c.ftp);
        run.Type(1020, c.user);
        if (*c.message) {
            wxTEST_DIALOG(run.PressNext(), ExpectMessage(c.message));
            EXPECT_EQ(run.Active(), 137u);
        } else {
            run.PressNext();
            EXPECT_EQ(run.Active(), 136u);
        }
        // The page's members follow the controls after Next.
        EXPECT_EQ(run.site.m_strSiteAddress, c.site);
        EXPECT_EQ(run.site.m_strUserName, c.user);
    }
}

TEST_F(SitePageTest, SettingsComeBackInTheNextRunButThePasswordNever)
{
    {
        WizardRun first;
        first.Type(1022, "http://www.example.com/shop");
        first.Type(1023, "ftp.example.com");
        first.Type(1020, "joe");
        first.Type(1021, "secret");
        // Closing by Cancel or Finish alike tears the pages down, which saves what the edits show.
    }
    WizardRun second;
    EXPECT_EQ(second.Shown(1022), "http://www.example.com/shop");
    EXPECT_EQ(second.Shown(1023), "ftp.example.com");
    EXPECT_EQ(second.Shown(1020), "joe");
    EXPECT_EQ(second.Shown(1021), "");

    // Kept in the user's settings file of the application, as plain values without the password.
    const std::string conf = ReadAll(scratch.Path() + "/config/kestrune-installer.conf");
    EXPECT_NE(conf.find("[Settings]"), std::string::npos) << conf;
    EXPECT_NE(conf.find("HTTP=http://www.example.com/shop"), std::string::npos) << conf;
    EXPECT_NE(conf.find("FTP=ftp.example.com"), std::string::npos);
    EXPECT_NE(conf.find("User=joe"), std::string::npos);
    EXPECT_EQ(conf.find("secret"), std::string::npos);
}

TEST_F(SitePageTest, WhatIsSavedIsWhatTheEditsShowNotTheMembers)
{
    {
        WizardRun run;
        run.Type(1022, "http://shown.example");
        run.site.m_strSiteAddress = "http://member-only.example";
    }
    WizardRun next;
    EXPECT_EQ(next.Shown(1022), "http://shown.example");
}

TEST_F(SitePageTest, TitleIsBoldAndSixteenPixelsHigh)
{
    WizardRun run;
    wxWindow* title = run.site.GetDlgItem(1030);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->GetLabel(), "Enter your site information");
    EXPECT_EQ(title->GetFont().GetWeight(), wxFONTWEIGHT_BOLD);
    // Asked for by pixel height; the toolkit may round it through points by one pixel.
    EXPECT_NEAR(title->GetFont().GetPixelSize().GetHeight(), 16, 1);
    EXPECT_TRUE(dynamic_cast<wxTextCtrl*>(run.site.GetDlgItem(1021))->HasFlag(wxTE_PASSWORD));
}

} // namespace
