// Entry point: the wx application runs the installer's wizard once and ends.
#include <wx/app.h>

#include "app/InstallerApp.h"
#include "app/Platform.h"

class CInstallerWxApp : public wxApp {
public:
    bool OnInit() override
    {
        ApplyPlatformLook();
        return true;
    }
    int OnRun() override
    {
        theApp.InitInstance();
        return 0;
    }
};

wxIMPLEMENT_APP(CInstallerWxApp);
