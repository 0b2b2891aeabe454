#include "cli/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace varnel::cli {
namespace {

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The length of the valid UTF-8 sequence that starts at text[at], or 0 when none does (a stray
// continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if (b0 < 0x80) {
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        codePoint = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        codePoint = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        codePoint = b0 & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[at + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (b & 0x3F);
    }
    const bool overlong =
        (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF) {
        return 0;
    }
    return length;
}

class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    std::optional<JsonValue> Document() {
        JsonValue value;
        Blanks();
        if (!Value(value, 0)) {
            return std::nullopt;
        }
        Blanks();
        if (m_at != m_text.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    // A record line nests three deep; anything far deeper is not one of ours.
    static constexpr int kMaxDepth = 32;

    void Blanks() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' ||
                                        m_text[m_at] == '\n' || m_text[m_at] == '\r')) {
            ++m_at;
        }
    }
    bool Take(char c) {
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (m_text.substr(m_at, word.size()) == word) {
            m_at += word.size();
            return true;
        }
        return false;
    }

    bool Value(JsonValue& value, int depth) {
        if (depth > kMaxDepth || m_at >= m_text.size()) {
            return false;
        }
        const char c = m_text[m_at];
        if (c == '{') {
            return Object(value, depth);
        }
        if (c == '[') {
            return Array(value, depth);
        }
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return String(value.text);
        }
        if (Word("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = true;
            return true;
        }
        if (Word("false")) {
            value.kind = JsonValue::Kind::Bool;
            return true;
        }
        if (Word("null")) {
            value.kind = JsonValue::Kind::Null;
            return true;
        }
        return Number(value);
    }

    bool Object(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Object;
        ++m_at;  // {
        Blanks();
        if (Take('}')) {
            return true;
        }
        for (;;) {
            Blanks();
            std::string key;
            if (m_at >= m_text.size() || m_text[m_at] != '"' || !String(key)) {
                return false;
            }
            Blanks();
            if (!Take(':')) {
                return false;
            }
            Blanks();
            JsonValue member;
            if (!Value(member, depth + 1)) {
                return false;
            }
            value.members.emplace_back(std::move(key), std::move(member));
            Blanks();
            if (Take('}')) {
                return true;
            }
            if (!Take(',')) {
                return false;
            }
        }
    }

    bool Array(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Array;
        ++m_at;  // [
        Blanks();
        if (Take(']')) {
            return true;
        }
        for (;;) {
            Blanks();
            JsonValue item;
            if (!Value(item, depth + 1)) {
                return false;
            }
            value.items.push_back(std::move(item));
            Blanks();
            if (Take(']')) {
                return true;
            }
            if (!Take(',')) {
                return false;
            }
        }
    }

    bool Hex4(std::uint32_t& out) {
        if (m_at + 4 > m_text.size()) {
            return false;
        }
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            out <<= 4;
            if (c >= '0' && c <= '9') {
                out |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                out |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                out |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    bool String(std::string& out) {
        ++m_at;  // "
        while (m_at < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_at]);
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                ++m_at;
                if (m_at >= m_text.size()) {
                    return false;
                }
                const char e = m_text[m_at++];
                switch (e) {
                    case '"':
                    case '\\':
                    case '/':
                        out += e;
                        break;
                    case 'b':
                        out += '\b';
                        break;
                    case 'f':
                        out += '\f';
                        break;
                    case 'n':
                        out += '\n';
                        break;
                    case 'r':
                        out += '\r';
                        break;
                    case 't':
                        out += '\t';
                        break;
                    case 'u': {
                        std::uint32_t unit = 0;
                        if (!Hex4(unit)) {
                            return false;
                        }
                        if (unit >= 0xD800 && unit <= 0xDBFF) {
                            std::uint32_t low = 0;
                            if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 ||
                                low > 0xDFFF) {
                                return false;
                            }
                            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                            return false;
                        }
                        AppendUtf8(out, unit);
                        break;
                    }
                    default:
                        return false;
                }
                continue;
            }
            const std::size_t length = Utf8SequenceAt(m_text, m_at);
            if (length == 0) {
                return false;
            }
            out.append(m_text.substr(m_at, length));
            m_at += length;
        }
        return false;  // no closing quote
    }

    bool Number(JsonValue& value) {
        const std::size_t start = m_at;
        Take('-');
        if (Take('0')) {
        } else if (m_at < m_text.size() && m_text[m_at] >= '1' && m_text[m_at] <= '9') {
            Digits();
        } else {
            return false;
        }
        if (Take('.')) {
            if (!Digits()) {
                return false;
            }
        }
        if (Take('e') || Take('E')) {
            if (!Take('+')) {
                Take('-');
            }
            if (!Digits()) {
                return false;
            }
        }
        const std::string literal(m_text.substr(start, m_at - start));
        value.kind = JsonValue::Kind::Number;
        value.number = std::strtod(literal.c_str(), nullptr);
        return std::isfinite(value.number);
    }
    bool Digits() {
        const std::size_t start = m_at;
        while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9') {
            ++m_at;
        }
        return m_at > start;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

}  // namespace

std::string JsonQuote(std::string_view text, TextBytes bytes) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    std::size_t at = 0;
    while (at < text.size()) {
        const auto c = static_cast<unsigned char>(text[at]);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
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
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else if (c < 0x80) {
                    out += static_cast<char>(c);
                } else if (bytes == TextBytes::Utf8) {
                    const std::size_t length = Utf8SequenceAt(text, at);
                    if (length > 0) {
                        out.append(text.substr(at, length));
                        at += length;
                        continue;
                    }
                    AppendUtf8(out, c);
                } else {
                    AppendUtf8(out, c);
                }
                break;
        }
        ++at;
    }
    out += '"';
    return out;
}

void JsonObject::Key(std::string_view key) {
    if (!m_body.empty()) {
        m_body += ',';
    }
    m_body += JsonQuote(key);
    m_body += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view text, TextBytes bytes) {
    Key(key);
    m_body += JsonQuote(text, bytes);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, long long number) {
    Key(key);
    m_body += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::AddBool(std::string_view key, bool value) {
    Key(key);
    m_body += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::AddNull(std::string_view key) {
    Key(key);
    m_body += "null";
    return *this;
}

JsonObject& JsonObject::AddRaw(std::string_view key, std::string_view json) {
    Key(key);
    m_body += json;
    return *this;
}

std::string JsonStringArray(const std::vector<std::string>& texts, TextBytes bytes) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += JsonQuote(texts[i], bytes);
    }
    return out + "]";
}

const JsonValue* JsonValue::Find(std::string_view key) const {
    if (kind != Kind::Object) {
        return nullptr;
    }
    for (const auto& [name, value] : members) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

std::optional<std::string> JsonValue::StringAt(std::string_view key) const {
    const JsonValue* value = Find(key);
    if (value == nullptr || value->kind != Kind::String) {
        return std::nullopt;
    }
    return value->text;
}

std::optional<JsonValue> ParseJson(std::string_view text) {
    return Parser(text).Document();
}

}  // namespace varnel::cli
