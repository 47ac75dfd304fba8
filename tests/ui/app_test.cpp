// The application's run from start to end, the look of the pages, and the windows the templates make.
#include "support/ReadAll.h"
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/uiaction.h>

#include "app/InstallerApp.h"
#include "app/InstallerWizard.h"
#include "pages/CreateFolderDlg.h"
#include "pages/FolderPage.h"
#include "pages/InstallPage.h"
#include "pages/SiteInfoPage.h"
#include "support/UiTest.h"
#include "verify/FolderUrlDlg.h"

namespace {

namespace fs = std::filesystem;

// Presses a button of the running wizard frame once its modal loop runs.
void PressLater(int id)
{
    wxTheApp->CallAfter([id] {
        wxWindow* frame = wxWindow::FindWindowById(131);
        ASSERT_NE(frame, nullptr);
        wxCommandEvent click(wxEVT_BUTTON, id);
        frame->FindWindow(id)->GetEventHandler()->ProcessEvent(click);
    });
}

class AppRunTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(theApp.m_log.Open(log.string())); }
    void TearDown() override { theApp.m_log.Close(); }

    ScratchFolder scratch;
    fs::path log = fs::path(scratch.Path()) / "QVInstaller.log";
};

TEST_F(AppRunTest, CancelAsksExitInstallerAndEachRunIsBracketedInTheLog)
{
    // Two runs: the first Cancel is answered No and the wizard stays; the second Yes.
    for (int run = 0; run < 2; ++run) {
        bool allPagesExisted = false;
        wxTheApp->CallAfter([&] {
            wxWindow* frame = wxWindow::FindWindowById(131);
            // Every page window was made when the frame opened: page 3's list exists, hidden.
            wxWindow* list = frame ? frame->FindWindow(1027) : nullptr;
            allPagesExisted = frame && frame->FindWindow(1022) && frame->FindWindow(1024) && list &&
                              !list->IsShownOnScreen();
        });
        PressLater(IDCANCEL);
        PressLater(IDCANCEL);
        wxTEST_DIALOG(EXPECT_FALSE(theApp.InitInstance()), ExpectMessage("Exit Installer?", wxID_NO),
                      ExpectMessage("Exit Installer?", wxID_YES));
        EXPECT_TRUE(allPagesExisted);
    }
    const std::string text = ReadAll(log);
    const std::string line = R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d: )";
    const std::string oneRun = line + "Started\r\n" + line + "Ended\r\n_{85}\r\n";
    EXPECT_TRUE(std::regex_match(text, std::regex(oneRun + oneRun))) << text;

    // Cancel still saved the first page's settings.
    const std::string conf = ReadAll(scratch.Path() + "/config/kestrune-installer.conf");
    EXPECT_NE(conf.find("HTTP=http://"), std::string::npos) << conf;
    EXPECT_NE(conf.find("User=Anonymous"), std::string::npos);
}

TEST(AppName, IsTheExecutableNameAndCaptionsTheMessageBoxes)
{
    EXPECT_EQ(theApp.GetAppName(), "kestrune-installer");
}

// The installer's three pages in the installer's frame, shown without a modal loop.
class PagesTest : public testing::Test {
protected:
    void SetUp() override
    {
        theApp.SetRegistryKey("Velmora LLC.");
        wizard.m_pages = {&site, &folder, &install};
        ASSERT_TRUE(wizard.CreateModeless());
        wizard.GetSafeHwnd()->Move(0, 0);
        PumpEvents(5);
    }
    void TearDown() override
    {
        wizard.DestroyWindow();
        PumpEvents(1);
    }
    // What the screen shows of a window, read back from the display.
    wxImage Capture(wxWindow* w)
    {
        w->Refresh();
        w->Update();
        PumpEvents(5);
        const wxRect r = w->GetScreenRect();
        wxBitmap bmp(r.GetSize());
        wxMemoryDC mem(bmp);
        wxScreenDC screen;
        mem.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
        mem.SelectObject(wxNullBitmap);
        return bmp.ConvertToImage();
    }

    ScratchFolder scratch;
    CFolderPage folder;
    CSiteInfoPage site;
    CInstallPage install;
    CInstallerWizard wizard;
};

TEST_F(PagesTest, EveryPageShowsTheBannerAtItsNaturalSizeOnWhite)
{
    for (CWizardPage* page : {static_cast<CWizardPage*>(&site), static_cast<CWizardPage*>(&folder),
                              static_cast<CWizardPage*>(&install)}) {
        EXPECT_TRUE(page->HasPicture());
        EXPECT_EQ(page->GetPictureSize(), wxSize(180, 317));
        EXPECT_EQ(page->GetSafeHwnd()->GetBackgroundColour(), *wxWHITE);
    }
    // The banner copy sits in the temporary folder.
    EXPECT_TRUE(fs::exists(scratch.Path() + "/tmp/banner.jpg"));

    const wxImage shot = Capture(site.GetSafeHwnd());
    wxImage banner;
    ASSERT_TRUE(banner.LoadFile(wxString::FromUTF8(scratch.Path() + "/tmp/banner.jpg")));
    // Top-left corner: the banner's own pixels; just right of it, and below the controls: white.
    for (wxPoint p : {wxPoint(5, 5), wxPoint(90, 150), wxPoint(175, 250)}) {
        EXPECT_NEAR(shot.GetRed(p.x, p.y), banner.GetRed(p.x, p.y), 8) << p.x << "," << p.y;
        EXPECT_NEAR(shot.GetBlue(p.x, p.y), banner.GetBlue(p.x, p.y), 8) << p.x << "," << p.y;
    }
    for (wxPoint p : {wxPoint(183, 3), wxPoint(300, 290)})
        EXPECT_EQ(wxColour(shot.GetRed(p.x, p.y), shot.GetGreen(p.x, p.y), shot.GetBlue(p.x, p.y)), *wxWHITE)
            << p.x << "," << p.y;
    // Text controls are black on white.
    wxWindow* edit = site.GetDlgItem(1022);
    EXPECT_EQ(edit->GetBackgroundColour(), *wxWHITE);
    EXPECT_EQ(edit->GetForegroundColour(), *wxBLACK);
}

TEST_F(PagesTest, LoadPictureKeepsTheBannerForAMissingFileAndDropsItForABadOne)
{
    site.LoadPicture(scratch.Path() + "/no-such.jpg");
    EXPECT_TRUE(site.HasPicture());
    std::ofstream(scratch.Path() + "/bad.jpg") << "not a picture";
    site.LoadPicture(scratch.Path() + "/bad.jpg");
    EXPECT_FALSE(site.HasPicture());
}

TEST_F(PagesTest, TabMovesFromTheFrameButtonsIntoThePage)
{
    wizard.GetDlgItem(IDCANCEL)->SetFocus();
    PumpEvents(3);
    wxUIActionSimulator sim;
    sim.Char(WXK_TAB);
    PumpEvents(5);
    // "Finish" and "< Back" are disabled, so Tab goes on into the page's first control.
    wxWindow* focus = wxWindow::FindFocus();
    EXPECT_EQ(focus, site.GetDlgItem(1022)) << (focus ? focus->GetId() : 0) << " "
                                            << (focus ? focus->GetClassInfo()->GetClassName() : L"none");
}

TEST_F(PagesTest, InstallPageListHasOneColumnAsWideAsTheList)
{
    ASSERT_NE(install.m_listFiles, nullptr);
    EXPECT_EQ(install.m_listFiles->GetColumnCount(), 1);
    wxListItem col;
    col.SetMask(wxLIST_MASK_TEXT);
    install.m_listFiles->GetColumn(0, col);
    EXPECT_EQ(col.GetText(), "Uploaded files");
    EXPECT_EQ(install.m_listFiles->GetColumnWidth(0), install.m_listFiles->GetSize().GetWidth());
}

// Every control of every template has exactly the place and size its template gives it, lies inside
// its window, and overlaps no control it does not overlap in the template.
TEST(Templates, ControlsFitTheirWindowsAndDoNotOverlap)
{
    ScratchFolder scratch;
    CFolderPage folder;
    CSiteInfoPage site;
    CInstallPage install;
    CInstallerWizard wizard;
    wizard.m_pages = {&site, &folder, &install};
    ASSERT_TRUE(wizard.CreateModeless());
    CCreateFolderDlg create;
    ASSERT_TRUE(create.CreateModeless());
    CFolderUrlDlg url;
    ASSERT_TRUE(url.CreateModeless());
    PumpEvents(5);

    const std::pair<CDialog*, unsigned> windows[] = {{&wizard, 131u}, {&site, 137u}, {&folder, 136u},
                                                     {&install, 140u}, {&create, 139u}, {&url, 146u}};
    for (const auto& [dlg, id] : windows) {
        SCOPED_TRACE(id);
        const DialogTemplate* t = CResourceScript::Installer().FindDialog(id);
        ASSERT_NE(t, nullptr);
        wxWindow* w = dlg->GetSafeHwnd();
        const wxRect client(wxPoint(0, 0), w->GetClientSize());
        const DialogBaseUnits base = MeasureDialogBaseUnits(w);
        EXPECT_EQ(w->GetClientSize(), DialogUnitsToPixels(base, 0, 0, t->cx, t->cy).GetSize());
        std::vector<std::tuple<int, wxRect, wxRect>> placed; // id, dialog units, pixels
        for (const ControlTemplate& c : t->controls) {
            wxWindow* ctl = nullptr;
            for (wxWindow* child : w->GetChildren())
                if (child->GetId() == c.id || (c.id == -1 && child->GetLabel() == wxString::FromUTF8(c.text)))
                    ctl = child;
            ASSERT_NE(ctl, nullptr) << c.id << " " << c.text;
            // The toolkit kept the template's size: nothing grew over its neighbours.
            const wxRect r = ctl->GetRect();
            EXPECT_EQ(r, DialogUnitsToPixels(base, c.x, c.y, c.cx, c.cy)) << c.id << " " << c.text;
            EXPECT_TRUE(client.Contains(r)) << c.id << " " << c.text;
            const wxRect du(c.x, c.y, c.cx, c.cy);
            for (const auto& [otherId, otherDu, other] : placed)
                if (!du.Intersects(otherDu)) {
                    EXPECT_FALSE(r.Intersects(other)) << c.id << " '" << c.text << "' overlaps " << otherId;
                }
            placed.emplace_back(c.id, du, r);
        }
    }
    EXPECT_EQ(wizard.GetSafeHwnd()->GetLabel(), "Install Kestrune");
    EXPECT_EQ(create.GetSafeHwnd()->GetLabel(), "Create Folder");
    EXPECT_EQ(url.GetSafeHwnd()->GetLabel(), "Cannot Find the Location Selected");
    EXPECT_EQ(url.GetDlgItemText(1017), "http://www.");
    // Pages start hidden and disabled; the installer's frame shows and enables the first.
    EXPECT_FALSE(folder.GetSafeHwnd()->IsShown());
    EXPECT_FALSE(folder.GetSafeHwnd()->IsEnabled());
    EXPECT_TRUE(site.GetSafeHwnd()->IsShown());
    wizard.DestroyWindow();
}

TEST(Templates, SmallDialogsReturnWhatWasTypedOnOkOnly)
{
    struct Case {
        int answer;
        const char* typed;
        std::string expected;
    } cases[] = {{IDOK, "site", "site"}, {IDOK, "", ""}, {IDCANCEL, "ignored", "unchanged"}};
    for (const Case& c : cases) {
        CCreateFolderDlg dlg;
        dlg.m_strText = "unchanged";
        int rc = 0;
        wxTEST_DIALOG(rc = dlg.DoModal(), ExpectTemplateDialog(139, c.answer, 1017, c.typed));
        EXPECT_EQ(rc, c.answer);
        EXPECT_EQ(dlg.m_strText, c.expected);
    }
    // The URL prompt shows the text it is given.
    CFolderUrlDlg url;
    url.m_strText = "http://example.com";
    std::string shown;
    wxTEST_DIALOG(url.DoModal(), ExpectTemplateDialog(146, IDOK, 1017, "http://example.com/blog", &shown));
    EXPECT_EQ(shown, "http://example.com");
    EXPECT_EQ(url.m_strText, "http://example.com/blog");
}

TEST(Templates, ParserNamesTheLineOfAnythingItDoesNotKnow)
{
    const char* bad[] = {
        "1 DIALOGEX 0, 0, 10, 10\nSTYLE WS_NOSUCH\nBEGIN\nEND\n",
        "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n    CONTROL \"\", 5, \"NoClass\", 0, 1, 2, 3, 4\nEND\n",
        "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n    LTEXT \"open, 5, 1, 2, 3, 4\nEND\n",
        "1 DIALOGEX 0, 0, 10, 10\nBEGIN\n    EDITTEXT 5, 1, 2, 3\n",
    };
    for (const char* text : bad) {
        try {
            CResourceScript::Parse(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("line "), std::string::npos) << e.what();
        }
    }
    const CResourceScript ok = CResourceScript::Parse(
        "7 DIALOGEX 0, 0, 10, 20\nSTYLE WS_CHILD | NOT WS_VISIBLE\nBEGIN\n"
        "    EDITTEXT 5, 1, 2, 3, 4, ES_PASSWORD | NOT WS_TABSTOP\nEND\nSTRINGTABLE\nBEGIN\n 1 \"a \"\"b\"\"\"\nEND\n");
    const ControlTemplate* edit = ok.FindDialog(7)->FindControl(5);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->style, ws::CHILD | ws::VISIBLE | ws::BORDER | ws::ES_PASSWORD);
    EXPECT_EQ(ok.LoadString(1), "a \"b\"");
    EXPECT_EQ(CResourceScript::Installer().LoadString(1),
              "Cannot open an Internet Session.  Please check your internet configuration.");
}

} // namespace
