// Builds windows from dialog templates.
#include "wizard/DialogBuilder.h"

#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

namespace {

int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

long BorderOf(const ControlTemplate& c)
{
    if (c.exStyle & ws::EX_STATICEDGE)
        return wxBORDER_STATIC;
    if (c.style & ws::BORDER)
        return c.kind == ControlKind::Edit ? wxBORDER_DEFAULT : wxBORDER_SIMPLE;
    return c.kind == ControlKind::Edit ? wxBORDER_NONE : wxBORDER_DEFAULT;
}

wxWindow* MakeStandardControl(const ControlTemplate& c, wxWindow* parent, const wxRect& r)
{
    const wxWindowID id = c.id == -1 ? wxID_ANY : c.id;
    const wxString text = wxString::FromUTF8(c.text);
    switch (c.kind) {
    case ControlKind::Static: {
        if ((c.style & ws::SS_TYPEMASK) == ws::SS_ETCHEDFRAME)
            return new wxStaticText(parent, id, wxString(), r.GetPosition(), r.GetSize(),
                                    wxST_NO_AUTORESIZE | wxBORDER_THEME);
        long style = wxST_NO_AUTORESIZE | BorderOf(c);
        if ((c.style & ws::SS_TYPEMASK) == ws::SS_CENTER)
            style |= wxALIGN_CENTRE_HORIZONTAL;
        else if ((c.style & ws::SS_TYPEMASK) == ws::SS_RIGHT)
            style |= wxALIGN_RIGHT;
        // Without SS_NOPREFIX an '&' marks a mnemonic, as on Windows.
        wxString label = text;
        if (c.style & ws::SS_NOPREFIX)
            label.Replace("&", "&&");
        auto* st = new wxStaticText(parent, id, label, r.GetPosition(), r.GetSize(), style);
        return st;
    }
    case ControlKind::Edit: {
        long style = BorderOf(c);
        if (c.style & ws::ES_PASSWORD)
            style |= wxTE_PASSWORD;
        if (c.style & ws::ES_READONLY)
            style |= wxTE_READONLY;
        return new wxTextCtrl(parent, id, text, r.GetPosition(), r.GetSize(), style);
    }
    case ControlKind::Button: {
        auto* b = new wxButton(parent, id, text, r.GetPosition(), r.GetSize());
        if ((c.style & ws::BS_TYPEMASK) == ws::BS_DEFPUSHBUTTON)
            b->SetDefault();
        return b;
    }
    case ControlKind::GroupBox:
        return new wxStaticBox(parent, id, text, r.GetPosition(), r.GetSize());
    case ControlKind::Tree: {
        long style = wxTR_HIDE_ROOT | wxTR_SINGLE | BorderOf(c);
        if (c.style & ws::TVS_HASBUTTONS)
            style |= wxTR_HAS_BUTTONS;
        else
            style |= wxTR_NO_BUTTONS;
        if (!(c.style & ws::TVS_HASLINES))
            style |= wxTR_NO_LINES;
        if (c.style & ws::TVS_LINESATROOT)
            style |= wxTR_LINES_AT_ROOT;
        if (c.style & ws::TVS_FULLROWSELECT)
            style |= wxTR_FULL_ROW_HIGHLIGHT;
        return new wxTreeCtrl(parent, id, r.GetPosition(), r.GetSize(), style);
    }
    case ControlKind::List: {
        long style = BorderOf(c);
        style |= (c.style & ws::LVS_REPORT) ? wxLC_REPORT : wxLC_LIST;
        if (c.style & ws::LVS_SINGLESEL)
            style |= wxLC_SINGLE_SEL;
        if (c.style & ws::LVS_NOSORTHEADER)
            style |= wxLC_NO_SORT_HEADER;
        return new wxListCtrl(parent, id, r.GetPosition(), r.GetSize(), style);
    }
    case ControlKind::Progress:
        return new wxGauge(parent, id, 100, r.GetPosition(), r.GetSize(), wxGA_HORIZONTAL | wxGA_SMOOTH | BorderOf(c));
    }
    return nullptr;
}

} // namespace

DialogBaseUnits MeasureDialogBaseUnits(wxWindow* w)
{
    wxClientDC dc(w);
    dc.SetFont(w->GetFont());
    wxCoord cx = 0, cy = 0, descent = 0, leading = 0;
    dc.GetTextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", &cx, &cy, &descent, &leading);
    DialogBaseUnits base;
    base.cx = (cx / 26 + 1) / 2;
    base.cy = dc.GetCharHeight();
    if (base.cx <= 0 || base.cy <= 0)
        return DialogBaseUnits{};
    return base;
}

wxRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int cx, int cy)
{
    // Corners are converted, not sizes, so controls that meet in dialog units meet in pixels too.
    const int left = MulDiv(x, base.cx, 4), top = MulDiv(y, base.cy, 8);
    return wxRect(left, top, MulDiv(x + cx, base.cx, 4) - left, MulDiv(y + cy, base.cy, 8) - top);
}

wxFont TemplateFont(const DialogTemplate& tmpl)
{
    wxFont font(wxFontInfo(tmpl.fontPoints).Family(wxFONTFAMILY_SWISS).FaceName(wxString::FromUTF8(tmpl.fontFace)));
    if (!font.IsOk() || !font.GetFaceName().IsSameAs(wxString::FromUTF8(tmpl.fontFace), false))
        font = wxFont(wxFontInfo(tmpl.fontPoints).Family(wxFONTFAMILY_SWISS));
    return font;
}

void BuildControls(const DialogTemplate& tmpl, wxWindow* container, const ControlFactory& factory)
{
    const wxFont font = TemplateFont(tmpl);
    container->SetFont(font);
    const DialogBaseUnits base = MeasureDialogBaseUnits(container);
    const wxRect whole = DialogUnitsToPixels(base, 0, 0, tmpl.cx, tmpl.cy);
    container->SetClientSize(whole.GetSize());

    for (const ControlTemplate& c : tmpl.controls) {
        const wxRect r = DialogUnitsToPixels(base, c.x, c.y, c.cx, c.cy);
        wxWindow* w = factory ? factory(c, container, r) : nullptr;
        if (!w)
            w = MakeStandardControl(c, container, r);
        if (!w)
            continue;
        w->SetFont(font);
        // GTK widgets ask for more room than Windows controls; the template's size wins.
        w->SetMinSize(r.GetSize());
        w->SetSize(r);
        if (!(c.style & ws::VISIBLE))
            w->Hide();
        if (c.style & ws::DISABLED)
            w->Disable();
    }
}
