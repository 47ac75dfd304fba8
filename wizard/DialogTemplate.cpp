// Reader of the resource script's dialog templates and string table.
#include "wizard/DialogTemplate.h"

#include <cctype>
#include <stdexcept>

#include "app/ResourceTable.h"

namespace {

const std::map<std::string_view, uint32_t>& StyleNames()
{
    static const std::map<std::string_view, uint32_t> names = {
        {"WS_POPUP", ws::POPUP}, {"WS_CHILD", ws::CHILD}, {"WS_VISIBLE", ws::VISIBLE},
        {"WS_DISABLED", ws::DISABLED}, {"WS_CAPTION", ws::CAPTION}, {"WS_BORDER", ws::BORDER},
        {"WS_SYSMENU", ws::SYSMENU}, {"WS_GROUP", ws::GROUP}, {"WS_TABSTOP", ws::TABSTOP},
        {"WS_MINIMIZEBOX", ws::MINIMIZEBOX}, {"DS_MODALFRAME", ws::DS_MODALFRAME}, {"DS_SETFONT", ws::DS_SETFONT},
        {"ES_LEFT", 0}, {"ES_PASSWORD", ws::ES_PASSWORD}, {"ES_AUTOHSCROLL", ws::ES_AUTOHSCROLL},
        {"ES_READONLY", ws::ES_READONLY}, {"SS_LEFT", 0}, {"SS_CENTER", ws::SS_CENTER}, {"SS_RIGHT", ws::SS_RIGHT},
        {"SS_ETCHEDFRAME", ws::SS_ETCHEDFRAME}, {"SS_NOPREFIX", ws::SS_NOPREFIX},
        {"SS_CENTERIMAGE", ws::SS_CENTERIMAGE}, {"BS_PUSHBUTTON", 0}, {"BS_DEFPUSHBUTTON", ws::BS_DEFPUSHBUTTON},
        {"BS_GROUPBOX", ws::BS_GROUPBOX}, {"TVS_HASBUTTONS", ws::TVS_HASBUTTONS}, {"TVS_HASLINES", ws::TVS_HASLINES},
        {"TVS_LINESATROOT", ws::TVS_LINESATROOT}, {"TVS_SHOWSELALWAYS", ws::TVS_SHOWSELALWAYS},
        {"TVS_FULLROWSELECT", ws::TVS_FULLROWSELECT}, {"LVS_REPORT", ws::LVS_REPORT},
        {"LVS_SINGLESEL", ws::LVS_SINGLESEL}, {"LVS_NOSORTHEADER", ws::LVS_NOSORTHEADER},
        {"WS_EX_TRANSPARENT", ws::EX_TRANSPARENT}, {"WS_EX_CONTROLPARENT", ws::EX_CONTROLPARENT},
        {"WS_EX_STATICEDGE", ws::EX_STATICEDGE},
    };
    return names;
}

enum class Tok { Word, Number, String, Comma, Bar, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    long value = 0;
};

// One logical line of the script, split into tokens.
class Line {
public:
    Line(std::string_view text, int number) : m_number(number) { Tokenize(text); }

    bool Empty() const { return m_tokens.empty(); }
    bool AtEnd() const { return m_pos >= m_tokens.size(); }
    const Token& Peek() const
    {
        static const Token end;
        return AtEnd() ? end : m_tokens[m_pos];
    }
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw std::runtime_error("resource script line " + std::to_string(m_number) + ": " + what);
    }
    std::string Word()
    {
        if (Peek().kind != Tok::Word)
            Fail("keyword expected");
        return m_tokens[m_pos++].text;
    }
    long Number()
    {
        bool negative = false;
        if (Peek().kind == Tok::Word && Peek().text == "-") {
            negative = true;
            ++m_pos;
        }
        if (Peek().kind != Tok::Number)
            Fail("number expected");
        long v = m_tokens[m_pos++].value;
        return negative ? -v : v;
    }
    std::string String()
    {
        if (Peek().kind != Tok::String)
            Fail("string expected");
        return m_tokens[m_pos++].text;
    }
    void Comma()
    {
        if (Peek().kind != Tok::Comma)
            Fail("',' expected");
        ++m_pos;
    }
    bool OptionalComma()
    {
        if (Peek().kind != Tok::Comma)
            return false;
        ++m_pos;
        return true;
    }
    // NAME | NUMBER | NOT NAME, joined by '|'. NOT takes bits away from the statement's defaults.
    uint32_t Style(uint32_t defaults)
    {
        uint32_t set = 0, clear = 0;
        for (;;) {
            bool negate = false;
            if (Peek().kind == Tok::Word && Peek().text == "NOT") {
                negate = true;
                ++m_pos;
            }
            uint32_t bits = 0;
            if (Peek().kind == Tok::Number) {
                bits = static_cast<uint32_t>(m_tokens[m_pos++].value);
            } else {
                const std::string name = Word();
                auto it = StyleNames().find(name);
                if (it == StyleNames().end())
                    Fail("unknown style " + name);
                bits = it->second;
            }
            (negate ? clear : set) |= bits;
            if (Peek().kind != Tok::Bar)
                break;
            ++m_pos;
        }
        return (defaults | set) & ~clear;
    }
    void ExpectEnd() const
    {
        if (!AtEnd())
            Fail("unexpected '" + Peek().text + "'");
    }

private:
    void Tokenize(std::string_view s)
    {
        size_t i = 0;
        while (i < s.size()) {
            const char c = s[i];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
                break;
            } else if (c == ',') {
                m_tokens.push_back({Tok::Comma, ",", 0});
                ++i;
            } else if (c == '|') {
                m_tokens.push_back({Tok::Bar, "|", 0});
                ++i;
            } else if (c == '"') {
                std::string text;
                ++i;
                for (;;) {
                    if (i >= s.size())
                        Fail("unterminated string");
                    if (s[i] == '"') {
                        if (i + 1 < s.size() && s[i + 1] == '"') {
                            text += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (s[i] == '\\' && i + 1 < s.size()) {
                        const char e = s[i + 1];
                        text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                        i += 2;
                        continue;
                    }
                    text += s[i++];
                }
                m_tokens.push_back({Tok::String, text, 0});
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                size_t used = 0;
                const std::string rest(s.substr(i));
                const long v = std::stol(rest, &used, 0);
                m_tokens.push_back({Tok::Number, rest.substr(0, used), v});
                i += used;
            } else if (c == '-') {
                m_tokens.push_back({Tok::Word, "-", 0});
                ++i;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t j = i;
                while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_'))
                    ++j;
                m_tokens.push_back({Tok::Word, std::string(s.substr(i, j - i)), 0});
                i = j;
            } else {
                Fail(std::string("unexpected character '") + c + "'");
            }
        }
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    int m_number;
};

ControlKind KindOfClass(const std::string& cls, uint32_t style, const Line& line)
{
    if (cls == "Static")
        return ControlKind::Static;
    if (cls == "Edit")
        return ControlKind::Edit;
    if (cls == "Button")
        return (style & ws::BS_TYPEMASK) == ws::BS_GROUPBOX ? ControlKind::GroupBox : ControlKind::Button;
    if (cls == "SysTreeView32")
        return ControlKind::Tree;
    if (cls == "SysListView32")
        return ControlKind::List;
    if (cls == "msctls_progress32")
        return ControlKind::Progress;
    line.Fail("unknown window class " + cls);
}

// x, y, cx, cy [, style [, exstyle]]
void ReadRectAndStyles(Line& line, ControlTemplate& c, uint32_t defaults)
{
    c.x = static_cast<int>(line.Number());
    line.Comma();
    c.y = static_cast<int>(line.Number());
    line.Comma();
    c.cx = static_cast<int>(line.Number());
    line.Comma();
    c.cy = static_cast<int>(line.Number());
    c.style = defaults;
    if (line.OptionalComma())
        c.style = line.Style(defaults);
    if (line.OptionalComma())
        c.exStyle = line.Style(0);
}

ControlTemplate ParseControl(Line& line, const std::string& keyword)
{
    constexpr uint32_t base = ws::CHILD | ws::VISIBLE;
    ControlTemplate c;
    if (keyword == "CONTROL") {
        c.text = line.String();
        line.Comma();
        c.id = static_cast<int>(line.Number());
        line.Comma();
        c.className = line.String();
        line.Comma();
        c.style = line.Style(base);
        line.Comma();
        c.x = static_cast<int>(line.Number());
        line.Comma();
        c.y = static_cast<int>(line.Number());
        line.Comma();
        c.cx = static_cast<int>(line.Number());
        line.Comma();
        c.cy = static_cast<int>(line.Number());
        if (line.OptionalComma())
            c.exStyle = line.Style(0);
        c.kind = KindOfClass(c.className, c.style, line);
    } else if (keyword == "EDITTEXT") {
        c.className = "Edit";
        c.kind = ControlKind::Edit;
        c.id = static_cast<int>(line.Number());
        line.Comma();
        ReadRectAndStyles(line, c, base | ws::BORDER | ws::TABSTOP);
    } else {
        uint32_t defaults = base;
        if (keyword == "LTEXT" || keyword == "CTEXT" || keyword == "RTEXT") {
            c.className = "Static";
            c.kind = ControlKind::Static;
            defaults |= ws::GROUP | (keyword == "CTEXT" ? ws::SS_CENTER : keyword == "RTEXT" ? ws::SS_RIGHT : 0);
        } else if (keyword == "PUSHBUTTON" || keyword == "DEFPUSHBUTTON") {
            c.className = "Button";
            c.kind = ControlKind::Button;
            defaults |= ws::TABSTOP | (keyword == "DEFPUSHBUTTON" ? ws::BS_DEFPUSHBUTTON : 0);
        } else if (keyword == "GROUPBOX") {
            c.className = "Button";
            c.kind = ControlKind::GroupBox;
            defaults |= ws::BS_GROUPBOX;
        } else {
            line.Fail("unknown control statement " + keyword);
        }
        c.text = line.String();
        line.Comma();
        c.id = static_cast<int>(line.Number());
        line.Comma();
        ReadRectAndStyles(line, c, defaults);
    }
    line.ExpectEnd();
    return c;
}

} // namespace

const ControlTemplate* DialogTemplate::FindControl(int controlId) const
{
    for (const ControlTemplate& c : controls)
        if (c.id == controlId)
            return &c;
    return nullptr;
}

CResourceScript CResourceScript::Parse(std::string_view text)
{
    std::vector<Line> lines;
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++number;
        Line line(text.substr(start, end - start), number);
        if (!line.Empty())
            lines.push_back(std::move(line));
        start = end + 1;
    }

    CResourceScript script;
    size_t i = 0;
    auto block = [&](auto&& onLine) {
        if (i >= lines.size() || lines[i].Peek().text != "BEGIN")
            (i < lines.size() ? lines[i] : lines.back()).Fail("BEGIN expected");
        for (++i; i < lines.size(); ++i) {
            if (lines[i].Peek().kind == Tok::Word && lines[i].Peek().text == "END") {
                ++i;
                return;
            }
            onLine(lines[i]);
        }
        lines.back().Fail("END expected");
    };

    while (i < lines.size()) {
        Line& head = lines[i];
        if (head.Peek().kind == Tok::Word && head.Peek().text == "STRINGTABLE") {
            ++i;
            block([&](Line& l) {
                const unsigned id = static_cast<unsigned>(l.Number());
                l.OptionalComma();
                script.m_strings[id] = l.String();
                l.ExpectEnd();
            });
            continue;
        }
        DialogTemplate dlg;
        dlg.id = static_cast<unsigned>(head.Number());
        const std::string kind = head.Word();
        if (kind != "DIALOGEX" && kind != "DIALOG")
            head.Fail("DIALOGEX expected");
        dlg.x = static_cast<int>(head.Number());
        head.Comma();
        dlg.y = static_cast<int>(head.Number());
        head.Comma();
        dlg.cx = static_cast<int>(head.Number());
        head.Comma();
        dlg.cy = static_cast<int>(head.Number());
        head.ExpectEnd();
        for (++i; i < lines.size() && lines[i].Peek().text != "BEGIN"; ++i) {
            Line& l = lines[i];
            const std::string key = l.Word();
            if (key == "STYLE") {
                dlg.style = l.Style(0);
            } else if (key == "EXSTYLE") {
                dlg.exStyle = l.Style(0);
            } else if (key == "CAPTION") {
                dlg.caption = l.String();
            } else if (key == "FONT") {
                dlg.fontPoints = static_cast<int>(l.Number());
                l.Comma();
                dlg.fontFace = l.String();
                while (l.OptionalComma())
                    l.Number();
            } else {
                l.Fail("unknown dialog option " + key);
            }
            l.ExpectEnd();
        }
        block([&](Line& l) { dlg.controls.push_back(ParseControl(l, l.Word())); });
        script.m_dialogs[dlg.id] = std::move(dlg);
    }
    return script;
}

const CResourceScript& CResourceScript::Installer()
{
    static const CResourceScript script = [] {
        const ResourceEntry* rc = FindResourceEntry(1, "RC");
        if (!rc)
            return CResourceScript{};
        return Parse(std::string_view(reinterpret_cast<const char*>(rc->data), rc->size));
    }();
    return script;
}

const DialogTemplate* CResourceScript::FindDialog(unsigned id) const
{
    auto it = m_dialogs.find(id);
    return it == m_dialogs.end() ? nullptr : &it->second;
}

std::optional<std::string> CResourceScript::LoadString(unsigned id) const
{
    auto it = m_strings.find(id);
    if (it == m_strings.end())
        return std::nullopt;
    return it->second;
}
