// Test entry point for window tests: a real wx application on the display (Xvfb in CI); wx asserts
// and unexpected dialogs become test failures instead of blocking boxes.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>

#include "app/Platform.h"
#include "support/UiTest.h"

namespace {

void OnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " " << msg.utf8_string();
}

// Registered first, so asked last: any dialog no wxTEST_DIALOG expected fails the test and is
// cancelled.
class UnexpectedDialogHook : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dlg) override
    {
        if (dlg->GetId() == 131)
            return wxID_NONE;
        wxString what = dlg->GetTitle();
        if (auto* box = dynamic_cast<wxMessageDialog*>(dlg))
            what = box->GetMessage();
        ADD_FAILURE() << "unexpected dialog: " << what.utf8_string();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

} // namespace

void PumpEvents(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        wxYield();
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
            while (loop->Pending())
                loop->Dispatch();
    }
}

ScratchFolder::ScratchFolder()
{
    char tmpl[] = "/tmp/kestrune-ui-XXXXXX";
    m_path = mkdtemp(tmpl);
    setenv("XDG_CONFIG_HOME", (m_path + "/config").c_str(), 1);
    std::filesystem::create_directories(m_path + "/tmp");
    setenv("TMPDIR", (m_path + "/tmp").c_str(), 1);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    // Settings and temporary files of every test stay inside the scratch folders tests make.
    wxApp::SetInstance(new TestApp);
    wxEntryStart(argc, argv);
    wxTheApp->SetAppName("kestrune-installer");
    wxTheApp->CallOnInit();
    wxSetAssertHandler(OnAssert);
    wxInitAllImageHandlers();
    ApplyPlatformLook();
    UnexpectedDialogHook fallback;
    fallback.Register();

    const int rc = RUN_ALL_TESTS();
    fallback.Unregister();
    wxEntryCleanup();
    return rc;
}
