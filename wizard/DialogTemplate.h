// Dialog templates and the string table, read from the resource script compiled into the executable.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Windows style values, kept as the templates state them so the builder and the tests speak the
// same numbers on every platform.
namespace ws {
constexpr uint32_t POPUP = 0x80000000, CHILD = 0x40000000, VISIBLE = 0x10000000, DISABLED = 0x08000000,
                   CAPTION = 0x00C00000, BORDER = 0x00800000, SYSMENU = 0x00080000, GROUP = 0x00020000,
                   TABSTOP = 0x00010000, MINIMIZEBOX = 0x00020000;
constexpr uint32_t DS_MODALFRAME = 0x80, DS_SETFONT = 0x40;
constexpr uint32_t ES_PASSWORD = 0x20, ES_AUTOHSCROLL = 0x80, ES_READONLY = 0x800;
constexpr uint32_t SS_CENTER = 0x1, SS_RIGHT = 0x2, SS_TYPEMASK = 0x1F, SS_ETCHEDFRAME = 0x12, SS_NOPREFIX = 0x80,
                   SS_CENTERIMAGE = 0x200;
constexpr uint32_t BS_DEFPUSHBUTTON = 0x1, BS_GROUPBOX = 0x7, BS_TYPEMASK = 0xF;
constexpr uint32_t TVS_HASBUTTONS = 0x1, TVS_HASLINES = 0x2, TVS_LINESATROOT = 0x4, TVS_SHOWSELALWAYS = 0x20,
                   TVS_FULLROWSELECT = 0x1000;
constexpr uint32_t LVS_REPORT = 0x1, LVS_SINGLESEL = 0x4, LVS_NOSORTHEADER = 0x8000;
constexpr uint32_t EX_TRANSPARENT = 0x20, EX_CONTROLPARENT = 0x10000, EX_STATICEDGE = 0x20000;
} // namespace ws

enum class ControlKind { Static, Edit, Button, GroupBox, Tree, List, Progress };

struct ControlTemplate {
    int id = -1;
    ControlKind kind = ControlKind::Static;
    std::string className; // the window class as written ("Static", "SysTreeView32", ...)
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    uint32_t style = 0;
    uint32_t exStyle = 0;
};

struct DialogTemplate {
    unsigned id = 0;
    int x = 0, y = 0, cx = 0, cy = 0; // dialog units
    uint32_t style = 0;
    uint32_t exStyle = 0;
    std::string caption;
    int fontPoints = 8;
    std::string fontFace;
    std::vector<ControlTemplate> controls; // template (tab) order

    bool IsChild() const { return (style & ws::CHILD) != 0; }
    const ControlTemplate* FindControl(int controlId) const;
};

class CResourceScript {
public:
    // Parses the subset of the resource-script language that res/installer.rc uses. Throws
    // std::runtime_error naming the line for anything it does not understand.
    static CResourceScript Parse(std::string_view text);

    // The script compiled into the executable (resource "RC" 1), parsed once.
    static const CResourceScript& Installer();

    const DialogTemplate* FindDialog(unsigned id) const;
    std::optional<std::string> LoadString(unsigned id) const;

private:
    std::map<unsigned, DialogTemplate> m_dialogs;
    std::map<unsigned, std::string> m_strings;
};
