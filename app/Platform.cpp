// Adjustments of the platform's look.
#include "app/Platform.h"

#include <wx/defs.h>

#ifdef __WXGTK3__
#include <gtk/gtk.h>
#endif

void ApplyPlatformLook()
{
#ifdef __WXGTK3__
    // GTK's default theme gives entries and buttons a minimum height of about 34 pixels, far more
    // than the 12 to 14 dialog units (about 20 pixels) the templates give them; without this they
    // spill over the labels below them.
    static const char css[] =
        "entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
        "button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
        "progressbar trough, progressbar progress { min-height: 0; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css, -1, nullptr);
    if (GdkScreen* screen = gdk_screen_get_default())
        gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
#endif
}
