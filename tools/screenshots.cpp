// Renders the wizard's pages and its two small dialogs to PNG files, for the documentation.
// Usage: kestrune-screenshots OUTDIR   (run it on a display; scripts/screenshots uses Xvfb)
#include <cstdio>
#include <string>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include <gtk/gtk.h>

#include "app/InstallerApp.h"
#include "app/InstallerWizard.h"
#include "app/Platform.h"
#include "pages/CreateFolderDlg.h"
#include "pages/FolderPage.h"
#include "pages/InstallPage.h"
#include "pages/SiteInfoPage.h"
#include "verify/FolderUrlDlg.h"

namespace {

// GTK maps windows and paints them on its frame clock: let a few frames pass.
void Settle()
{
    for (int i = 0; i < 40; ++i) {
        wxYield();
        wxMilliSleep(20);
    }
}

// The window's client area, drawn by the toolkit itself into a picture (no screen is read, so
// nothing another window left on the display can show through).
bool Save(wxWindow* w, const std::string& path)
{
    w->Refresh();
    Settle();
    GtkWidget* widget = static_cast<GtkWidget*>(w->GetHandle());
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", path.c_str(), width, height);
    return ok;
}

class ShotsApp : public wxApp {
public:
    bool OnInit() override
    {
        if (argc < 2) {
            std::fprintf(stderr, "usage: kestrune-screenshots OUTDIR\n");
            return false;
        }
        m_out = argv[1].utf8_string();
        ApplyPlatformLook();
        wxInitAllImageHandlers();
        return true;
    }
    int OnRun() override
    {
        theApp.SetRegistryKey("Velmora LLC.");
        bool ok = true;
        {
            CFolderPage folder;
            CSiteInfoPage site;
            CInstallPage install;
            CInstallerWizard wizard;
            wizard.m_pages = {&site, &folder, &install};
            wizard.CreateModeless();
            wxWindow* frame = wizard.GetSafeHwnd();
            frame->Move(40, 40);
            ok &= Save(frame, m_out + "/1-site-information.png");
            wizard.ActivatePage(&folder);
            wizard.EnableBack(true);
            folder.SetDlgItemText(1017, "/public_html/");
            ok &= Save(frame, m_out + "/2-destination-folder.png");
            wizard.ActivatePage(&install);
            wizard.EnableNext(false);
            wizard.EnableFinish(true);
            install.SetDlgItemText(1029, "Transfering ...");
            ok &= Save(frame, m_out + "/3-installation.png");
            wizard.DestroyWindow();
        }
        {
            CCreateFolderDlg create;
            create.CreateModeless();
            create.GetSafeHwnd()->Move(40, 40);
            ok &= Save(create.GetSafeHwnd(), m_out + "/4-create-folder.png");
            create.DestroyWindow();
            CFolderUrlDlg url;
            url.CreateModeless();
            url.GetSafeHwnd()->Move(40, 40);
            ok &= Save(url.GetSafeHwnd(), m_out + "/5-folder-url.png");
            url.DestroyWindow();
        }
        return ok ? 0 : 1;
    }

private:
    std::string m_out;
};

} // namespace

wxIMPLEMENT_APP(ShotsApp);
