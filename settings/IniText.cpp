#include "settings/IniText.h"

#include <cstddef>
#include <cstdint>

namespace varnel {
namespace {

// QSettings' reader gives no positions, so the lines are found here by its rules: white space
// and blank lines before a line are skipped; ';' at the start of a line makes it a comment, and
// after a value it ends the value; a line runs on across a line break inside double quotes or
// after a backslash; a line that starts with '[' names a group; the first '=' outside quotes
// separates the key from the value.

using Pos = std::size_t;
constexpr Pos kNone = static_cast<Pos>(-1);

bool IsIniSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsIniSpecial(char c) {
    return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

struct IniLine {
    Pos start = 0;       // the first byte after the white space before it
    Pos end = 0;         // one past its last byte, before a line break or comment
    Pos equals = kNone;  // the '=' that ends the key
};

class IniReader {
public:
    explicit IniReader(std::string_view data) : m_data(data) {}

    // The next line; false at the end of the text.
    bool Next(IniLine& line) {
        const Pos size = m_data.size();
        bool inQuotes = false;
        Pos quoteAt = 0;
        line.equals = kNone;
        Pos start = m_pos;
        while (start < size && IsIniSpace(m_data[start])) {
            ++start;
        }
        Pos i = start;
        bool ended = false;
        while (i < size && !ended) {
            const char ch = m_data[i];
            if (!IsIniSpecial(ch)) {
                ++i;
                continue;
            }
            ++i;
            switch (ch) {
                case '=':
                    if (!inQuotes && line.equals == kNone) {
                        line.equals = i - 1;
                    }
                    break;
                case '\n':
                case '\r':
                    if (i == start + 1) {
                        ++start;
                    } else if (!inQuotes) {
                        --i;
                        ended = true;
                    } else {
                        NoteDamage(quoteAt,
                                   "opens a quote (\") that is not closed on the same line, so "
                                   "the lines after it would be read as part of its value");
                    }
                    break;
                case '\\':
                    if (i < size) {
                        const char next = m_data[i++];
                        if (next == '\n' || next == '\r') {
                            NoteDamage(i - 2,
                                       "ends in a backslash (\\), which joins the next "
                                       "line to its value");
                        }
                        if (i < size) {
                            const char after = m_data[i];
                            if ((next == '\n' && after == '\r') ||
                                (next == '\r' && after == '\n')) {
                                ++i;
                            }
                        }
                    }
                    break;
                case '"':
                    inQuotes = !inQuotes;
                    quoteAt = i - 1;
                    break;
                default:  // ';'
                    if (i == start + 1) {
                        while (i < size && m_data[i] != '\n' && m_data[i] != '\r') {
                            ++i;
                        }
                        while (i < size && IsIniSpace(m_data[i])) {
                            ++i;
                        }
                        start = i;
                    } else if (!inQuotes) {
                        --i;
                        ended = true;
                    }
                    break;
            }
        }
        if (inQuotes) {
            NoteDamage(quoteAt, "opens a quote (\") that is never closed");
        }
        m_pos = i;
        line.start = start;
        line.end = i;
        return i > start;
    }

    // The first damage met so far, with its line number; empty when none.
    const std::string& Damage() const { return m_damage; }

    void NoteDamage(Pos pos, std::string_view what) {
        if (m_damage.empty()) {
            m_damage = "line " + std::to_string(LineNumber(pos)) + " " + std::string(what);
        }
    }

private:
    // The line number (from 1) of the byte at pos.
    int LineNumber(Pos pos) const {
        int number = 1;
        for (Pos i = 0; i < pos && i < m_data.size(); ++i) {
            if (m_data[i] == '\n' ||
                (m_data[i] == '\r' && (i + 1 == m_data.size() || m_data[i + 1] != '\n'))) {
                ++number;
            }
        }
        return number;
    }

    std::string_view m_data;
    Pos m_pos = 0;
    std::string m_damage;
};

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A key or group name as QSettings reads it: "\" stands for "/", "%XX" and "%UXXXX" for a
// character (kept here in UTF-8).
std::string UnescapedKey(std::string_view raw) {
    std::string result;
    for (Pos i = 0; i < raw.size();) {
        const char ch = raw[i];
        if (ch == '\\') {
            result += '/';
            ++i;
            continue;
        }
        if (ch != '%' || i + 1 == raw.size()) {
            result += ch;
            ++i;
            continue;
        }
        Pos first = i + 1;
        int digits = 2;
        if (raw[first] == 'U') {
            ++first;
            digits = 4;
        }
        std::uint32_t code = 0;
        bool ok = first + digits <= raw.size();
        for (int d = 0; ok && d < digits; ++d) {
            const int value = HexDigit(raw[first + d]);
            ok = value >= 0;
            code = code * 16 + static_cast<std::uint32_t>(value);
        }
        if (!ok) {
            result += '%';
            ++i;
            continue;
        }
        AppendUtf8(result, code);
        i = first + digits;
    }
    return result;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (Pos i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Trimmed(std::string_view text) {
    auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A group header's name as QSettings takes it: "General" is the top level (empty here).
std::string GroupName(std::string_view header, bool* closed) {
    const Pos close = header.find(']');
    *closed = close != std::string_view::npos;
    const std::string_view inner =
        Trimmed(*closed ? header.substr(1, close - 1) : header.substr(1));
    if (EqualsIgnoringCase(inner, "general")) {
        return {};
    }
    if (EqualsIgnoringCase(inner, "%general")) {
        return std::string(inner.substr(1));
    }
    return UnescapedKey(inner);
}

// A key line of the text, with the bytes an edit touches.
struct KeyLine {
    std::string fullKey;  // "Ports/COM1"
    std::string group;    // the group header it stands under ("Ports"); empty at the top
    Pos lineBegin;        // the start of its physical line
    Pos equals;           // the '=' after the key
    Pos lineEnd;          // the end of its value as written, before a comment or line break
    Pos valueBegin;       // its value, without the blanks around it
    Pos valueEnd;
    Pos lineAfter;  // past its line break (its comment included), or the end
};

struct GroupHeader {
    std::string name;
    Pos lineAfter;  // past the header's line break, or the end
};

struct IniLayout {
    std::vector<KeyLine> keys;
    std::vector<GroupHeader> groups;
    std::string damage;
};

// Past the line break that follows pos (a comment after the line included), or the end.
Pos PastLineBreak(std::string_view data, Pos pos) {
    while (pos < data.size() && data[pos] != '\n' && data[pos] != '\r') {
        ++pos;
    }
    if (pos < data.size()) {
        if (data[pos] == '\r' && pos + 1 < data.size() && data[pos + 1] == '\n') {
            ++pos;
        }
        ++pos;
    }
    return pos;
}

IniLayout ReadLayout(std::string_view data) {
    IniLayout layout;
    IniReader reader(data);
    IniLine line;
    std::string group;
    while (reader.Next(line)) {
        const std::string_view text = data.substr(line.start, line.end - line.start);
        if (text.front() == '[') {
            bool closed = false;
            group = GroupName(text, &closed);
            if (!closed) {
                reader.NoteDamage(line.start, "opens a group with [ but does not close it with ]");
            }
            layout.groups.push_back({group, PastLineBreak(data, line.end)});
            continue;
        }
        if (line.equals == kNone) {
            if (text.substr(0, 3) == "\xEF\xBB\xBF") {
                // QSettings takes the mark for the start of a key, not for an encoding.
                reader.NoteDamage(line.start,
                                  "begins with a byte order mark, which the settings "
                                  "reader does not skip");
            } else if (text.front() != ';') {
                reader.NoteDamage(line.start,
                                  "is neither a group ([Name]), nor a setting "
                                  "(name=value), nor a comment (; ...)");
            }
            continue;
        }
        Pos keyEnd = line.equals;
        while (keyEnd > line.start && IsBlank(data[keyEnd - 1])) {
            --keyEnd;
        }
        KeyLine key;
        key.group = group;
        const std::string name = UnescapedKey(data.substr(line.start, keyEnd - line.start));
        key.fullKey = group.empty() ? name : group + '/' + name;
        key.lineBegin = line.start;
        while (key.lineBegin > 0 && data[key.lineBegin - 1] != '\n' &&
               data[key.lineBegin - 1] != '\r') {
            --key.lineBegin;
        }
        key.equals = line.equals;
        key.lineEnd = line.end;
        key.valueBegin = line.equals + 1;
        while (key.valueBegin < line.end && IsBlank(data[key.valueBegin])) {
            ++key.valueBegin;
        }
        key.valueEnd = line.end;
        while (key.valueEnd > key.valueBegin && IsBlank(data[key.valueEnd - 1])) {
            --key.valueEnd;
        }
        key.lineAfter = PastLineBreak(data, line.end);
        layout.keys.push_back(std::move(key));
    }
    layout.damage = reader.Damage();
    return layout;
}

std::string FullKey(std::string_view group, std::string_view key) {
    return group.empty() ? std::string(key) : std::string(group) + '/' + std::string(key);
}

// A value's text with QSettings' quotes and escapes undone; false when it is a list (a ','
// outside quotes), which holds no one text.
bool UnescapedValue(std::string_view raw, std::string& result) {
    static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                           {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                           {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool inQuotes = false;
    bool quoted = false;
    Pos chopLimit = 0;
    Pos i = 0;
    auto skipBlanks = [&] {
        while (i < raw.size() && IsBlank(raw[i])) {
            ++i;
        }
    };
    auto appendCode = [&](std::uint32_t code) { AppendUtf8(result, code & 0xFFFF); };
    skipBlanks();
    chopLimit = result.size();
    while (i < raw.size()) {
        const char ch = raw[i];
        if (ch == '\\') {
            ++i;
            if (i >= raw.size()) {
                break;
            }
            const char code = raw[i++];
            bool known = false;
            for (const auto& escape : kEscapes) {
                if (code == escape[0]) {
                    result += escape[1];
                    known = true;
                    break;
                }
            }
            if (known) {
                chopLimit = result.size();
                continue;
            }
            if (code == 'x' && i < raw.size() && HexDigit(raw[i]) >= 0) {
                std::uint32_t value = 0;
                while (i < raw.size() && HexDigit(raw[i]) >= 0) {
                    value = (value << 4) + static_cast<std::uint32_t>(HexDigit(raw[i++]));
                }
                appendCode(value);
            } else if (code >= '0' && code <= '7') {
                std::uint32_t value = static_cast<std::uint32_t>(code - '0');
                while (i < raw.size() && raw[i] >= '0' && raw[i] <= '7') {
                    value = (value << 3) + static_cast<std::uint32_t>(raw[i++] - '0');
                }
                appendCode(value);
            }
            // Any other escaped character is dropped, as QSettings does.
            chopLimit = result.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
            }
        } else if (ch == ',' && !inQuotes) {
            return false;
        } else {
            Pos j = i + 1;
            while (j < raw.size() && raw[j] != '\\' && raw[j] != '"' && raw[j] != ',') {
                ++j;
            }
            result.append(raw.substr(i, j - i));
            i = j;
        }
    }
    if (!quoted) {
        while (result.size() > chopLimit && IsBlank(result.back())) {
            result.pop_back();
        }
    }
    return true;
}

// The text a value stands for once QSettings has taken its type from a leading '@'.
std::optional<std::string> TextOfValue(const std::string& value) {
    if (value.empty() || value.front() != '@') {
        return value;
    }
    if (value.back() == ')') {
        for (std::string_view textual : {"@String(", "@ByteArray("}) {
            if (value.compare(0, textual.size(), textual) == 0) {
                return value.substr(textual.size(), value.size() - textual.size() - 1);
            }
        }
        for (std::string_view typed : {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("}) {
            if (value.compare(0, typed.size(), typed) == 0) {
                return std::nullopt;
            }
        }
        if (value == "@Invalid()") {
            return std::nullopt;
        }
    }
    if (value.compare(0, 2, "@@") == 0) {
        return value.substr(1);
    }
    return value;
}

// A text value as QSettings writes it: quoted when it holds ';', ',' or '=' or starts or ends
// with a blank; '"' and '\' escaped, control characters as escapes, the rest in UTF-8; a leading
// '@' doubled, since '@' starts a typed value.
std::string EscapedValue(std::string_view value) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    bool needsQuotes = false;
    bool escapeNextIfHexDigit = false;
    std::string bytes;
    if (!value.empty() && value.front() == '@') {
        bytes += '@';
    }
    bytes.append(value);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ';' || c == ',' || c == '=') {
            needsQuotes = true;
        }
        auto hexEscape = [&] {
            out += "\\x";
            if (byte >= 0x10) {
                out += kHex[byte >> 4];
            }
            out += kHex[byte & 0xF];
        };
        if (escapeNextIfHexDigit && HexDigit(c) >= 0) {
            hexEscape();
            continue;
        }
        escapeNextIfHexDigit = false;
        switch (c) {
            case '\0':
                out += "\\0";
                escapeNextIfHexDigit = true;
                break;
            case '\a':
                out += "\\a";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\v':
                out += "\\v";
                break;
            case '"':
            case '\\':
                out += '\\';
                out += c;
                break;
            default:
                if (byte <= 0x1F) {
                    hexEscape();
                    escapeNextIfHexDigit = true;
                } else {
                    out += c;
                }
                break;
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) {
        out = '"' + out + '"';
    }
    return out;
}

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<std::uint32_t> CodePoints(std::string_view text) {
    std::vector<std::uint32_t> codes;
    for (Pos i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80           ? 1
                     : (lead >> 5) == 0x6  ? 2
                     : (lead >> 4) == 0xE  ? 3
                     : (lead >> 3) == 0x1E ? 4
                                           : 0;
        std::uint32_t code = length == 1   ? lead
                             : length == 2 ? lead & 0x1F
                             : length == 3 ? lead & 0x0F
                                           : lead & 0x07;
        for (int k = 1; length > 0 && k < length; ++k) {
            const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
            if ((next & 0xC0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (length == 0) {
            codes.push_back(lead);
            ++i;
            continue;
        }
        codes.push_back(code);
        i += static_cast<Pos>(length);
    }
    return codes;
}

// A key or group name as QSettings writes it: letters, digits, '-', '_' and '.' as they are, '/'
// as '\', and anything else as %XX (or %UXXXX for each UTF-16 unit).
std::string EscapedKey(std::string_view key) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    auto unit = [&](std::uint32_t u) {
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            u == '-' || u == '_' || u == '.') {
            out += static_cast<char>(u);
        } else if (u == '/') {
            out += '\\';
        } else if (u <= 0xFF) {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4) {
                out += kHex[(u >> shift) & 0xF];
            }
        }
    };
    for (const std::uint32_t code : CodePoints(key)) {
        if (code > 0xFFFF) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

// The line break the text uses; a new text gets the platform's.
std::string LineBreakOf(std::string_view text) {
    const Pos at = text.find('\n');
    return at != std::string_view::npos && at > 0 && text[at - 1] == '\r' ? "\r\n" : "\n";
}

bool EndsInLineBreak(std::string_view text) {
    return !text.empty() && (text.back() == '\n' || text.back() == '\r');
}

std::string ApplyChange(const std::string& text, const SettingChange& change) {
    const IniLayout layout = ReadLayout(text);
    const std::string fullKey = change.group + '/' + change.key;
    std::vector<const KeyLine*> lines;
    for (const KeyLine& key : layout.keys) {
        if (key.fullKey == fullKey) {
            lines.push_back(&key);
        }
    }
    const std::string lineBreak = LineBreakOf(text);
    std::string result = text;
    // From the back, so that the positions in front stay valid. QSettings takes the last of
    // several lines of one key, so that one is the line kept and changed.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const KeyLine& key = **it;
        if (it == lines.rbegin() && change.value) {
            result.replace(key.valueBegin, key.valueEnd - key.valueBegin,
                           EscapedValue(*change.value));
        } else {
            result.erase(key.lineBegin, key.lineAfter - key.lineBegin);
        }
    }
    if (!lines.empty() || !change.value) {
        return result;
    }
    // A new key: at the end of the last part of its group, else in a new group at the end.
    const std::string entry = EscapedKey(change.key) + '=' + EscapedValue(*change.value);
    Pos at = kNone;
    for (const GroupHeader& group : layout.groups) {
        if (group.name == change.group) {
            at = group.lineAfter;
        }
    }
    for (const KeyLine& key : layout.keys) {
        if (at != kNone && key.group == change.group && key.lineBegin >= at) {
            at = key.lineAfter;
        }
    }
    if (at != kNone) {
        std::string insert = entry + lineBreak;
        if (at > 0 && result[at - 1] != '\n' && result[at - 1] != '\r') {
            insert.insert(0, lineBreak);
        }
        result.insert(at, insert);
        return result;
    }
    if (!result.empty()) {
        if (!EndsInLineBreak(result)) {
            result += lineBreak;
        }
        result += lineBreak;
    }
    result += '[' + EscapedKey(change.group) + ']' + lineBreak + entry + lineBreak;
    return result;
}

}  // namespace

std::string IniTextDamage(std::string_view text) {
    return ReadLayout(text).damage;
}

std::optional<std::string> IniTextValue(std::string_view text, std::string_view group,
                                        std::string_view key) {
    const IniLayout layout = ReadLayout(text);
    const std::string fullKey = FullKey(group, key);
    for (auto it = layout.keys.rbegin(); it != layout.keys.rend(); ++it) {
        if (it->fullKey != fullKey) {
            continue;
        }
        // The value runs from after the '=' to the end of its line (a comment after it is not
        // part of it); the blanks before and after are the unescaping's to judge.
        std::string value;
        const Pos begin = it->equals + 1;
        if (!UnescapedValue(text.substr(begin, it->lineEnd - begin), value)) {
            return std::nullopt;
        }
        return TextOfValue(value);
    }
    return std::nullopt;
}

std::string EditIniText(std::string_view text, const std::vector<SettingChange>& changes) {
    std::string result(text);
    for (const SettingChange& change : changes) {
        result = ApplyChange(result, change);
    }
    return result;
}

}  // namespace varnel
