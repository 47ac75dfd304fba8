// Turns a dialog template into real controls, converting dialog units with the window's own font.
#pragma once
#include <functional>

#include <wx/font.h>
#include <wx/gdicmn.h>
#include <wx/window.h>

#include "wizard/DialogTemplate.h"

// Dialog base units of a font: the average width of the letters A-Z and a-z, and the character
// height, as the Windows dialog manager measures them.
struct DialogBaseUnits {
    int cx = 6;
    int cy = 13;
};

DialogBaseUnits MeasureDialogBaseUnits(wxWindow* w);
wxRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int cx, int cy);

// The font a template names; a face the system lacks falls back to its sans-serif face.
wxFont TemplateFont(const DialogTemplate& tmpl);

// Makes a control that the builder does not know itself (a tree of the page's own class, say);
// returns null to let the builder make the standard one.
using ControlFactory = std::function<wxWindow*(const ControlTemplate&, wxWindow* parent, const wxRect& rect)>;

// Creates every control of the template inside container, in template order (which is also the tab
// order), with the template's ids, texts, positions and sizes. Sets the container's font and sizes
// its client area to the template's size.
void BuildControls(const DialogTemplate& tmpl, wxWindow* container, const ControlFactory& factory = {});
