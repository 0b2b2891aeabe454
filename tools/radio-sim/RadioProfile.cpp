#include "tools/radio-sim/RadioProfile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace varnel::sim {

namespace {

constexpr std::size_t kMaxProfileBytes = 1 << 20;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r';
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

// One line, split into words and quoted texts, with the comment cut off.
struct Token {
    std::string text;
    bool quoted = false;
};

bool Tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsSpace(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            break;
        }
        Token token;
        if (line[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i];
                if (c == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (c == '\\') {
                    if (i + 1 >= line.size()) {
                        break;
                    }
                    const char e = line[i + 1];
                    if (e == '"' || e == '\\') {
                        token.text.push_back(e);
                        i += 2;
                    } else if (e == 'x' && i + 3 < line.size() && HexDigit(line[i + 2]) >= 0 &&
                               HexDigit(line[i + 3]) >= 0) {
                        token.text.push_back(
                            static_cast<char>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3])));
                        i += 4;
                    } else {
                        error = "unknown escape in quoted text (use \\\", \\\\ or \\xHH)";
                        return false;
                    }
                    continue;
                }
                token.text.push_back(c);
                ++i;
            }
            if (!closed) {
                error = "quoted text not closed";
                return false;
            }
        } else {
            while (i < line.size() && !IsSpace(line[i]) && line[i] != '#') {
                if (line[i] == '"') {
                    error = "a quote inside a word; leave a blank before quoted text";
                    return false;
                }
                token.text.push_back(line[i]);
                ++i;
            }
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

bool ParseId(const Token& token, std::uint8_t& id, std::string& error) {
    int value = -1;
    const char* begin = token.text.data();
    const char* end = begin + token.text.size();
    const auto [last, ec] = std::from_chars(begin, end, value);
    if (token.quoted || token.text.empty() || ec != std::errc() || last != end || value < 0 ||
        value > 255) {
        error = "\"" + token.text + "\" is not a parameter id (0 to 255)";
        return false;
    }
    id = static_cast<std::uint8_t>(value);
    return true;
}

bool ParseHexByte(const std::string& text, std::uint8_t& byte) {
    std::string_view digits = text;
    if (digits.starts_with("0x") || digits.starts_with("0X")) {
        digits.remove_prefix(2);
    }
    if (digits.empty() || digits.size() > 2) {
        return false;
    }
    int value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) {
            return false;
        }
        value = value * 16 + d;
    }
    byte = static_cast<std::uint8_t>(value);
    return true;
}

// The comment at the end of a line ("# ESN"), found outside quoted text; empty when none.
std::string_view CommentOf(std::string_view line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (quoted && line[i] == '\\') {
            ++i;
        } else if (line[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && line[i] == '#') {
            return line.substr(i);
        }
    }
    return {};
}

std::string Where(std::string_view origin, std::size_t lineIndex) {
    return std::string(origin) + ":" + std::to_string(lineIndex + 1) + ": ";
}

}  // namespace

std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string FormatValueStatement(std::uint8_t id, const Bytes& value) {
    std::string text = "value " + std::to_string(id);
    bool printable = !value.empty();
    for (std::uint8_t b : value) {
        printable = printable && b >= 0x20 && b <= 0x7E;
    }
    if (!printable) {
        if (!value.empty()) {
            text += ' ';
            text += HexBytes(value.data(), value.size());
        }
        return text;
    }
    text += " \"";
    for (std::uint8_t b : value) {
        if (b == '"' || b == '\\') {
            text.push_back('\\');
        }
        text.push_back(static_cast<char>(b));
    }
    text += "\"";
    return text;
}

bool ParseProfile(std::string_view text, std::string_view origin, RadioProfile& profile,
                  std::string& error) {
    if (text.size() > kMaxProfileBytes) {
        error = std::string(origin) + ": larger than 1 MiB, not a radio profile";
        return false;
    }
    RadioProfile parsed;
    std::map<std::uint8_t, std::size_t> unsupportedLine;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t index = parsed.lines.size();
        parsed.lines.emplace_back(line);
        if (end == text.size()) {
            start = text.size() + 1;
        } else {
            start = end + 1;
        }
        if (line.find('\0') != std::string_view::npos) {
            error = Where(origin, index) + "contains a NUL byte; not a text file";
            return false;
        }

        std::vector<Token> tokens;
        std::string why;
        if (!Tokenize(line, tokens, why)) {
            error = Where(origin, index) + why;
            return false;
        }
        if (tokens.empty()) {
            continue;
        }
        const std::string& keyword = tokens[0].text;
        if (tokens[0].quoted) {
            error = Where(origin, index) + "a line starts with a keyword, not quoted text";
            return false;
        }
        if (keyword == "name") {
            // The rest of the line as written, so that a name keeps its own spacing.
            std::string_view rest = line.substr(line.find("name") + 4);
            const std::size_t hash = rest.find('#');
            rest = rest.substr(0, hash);
            while (!rest.empty() && IsSpace(rest.front())) {
                rest.remove_prefix(1);
            }
            while (!rest.empty() && IsSpace(rest.back())) {
                rest.remove_suffix(1);
            }
            parsed.name = std::string(rest);
        } else if (keyword == "value") {
            std::uint8_t id = 0;
            if (tokens.size() < 2) {
                error = Where(origin, index) + "\"value\" needs a parameter id";
                return false;
            }
            if (!ParseId(tokens[1], id, why)) {
                error = Where(origin, index) + why;
                return false;
            }
            if (parsed.valueLine.count(id) != 0) {
                error = Where(origin, index) + "parameter " + std::to_string(id) +
                        " already has a value on line " + std::to_string(parsed.valueLine[id] + 1);
                return false;
            }
            if (unsupportedLine.count(id) != 0) {
                error = Where(origin, index) + "parameter " + std::to_string(id) +
                        " is listed as unsupported on line " +
                        std::to_string(unsupportedLine[id] + 1);
                return false;
            }
            Bytes value;
            for (std::size_t t = 2; t < tokens.size(); ++t) {
                if (tokens[t].quoted) {
                    value.insert(value.end(), tokens[t].text.begin(), tokens[t].text.end());
                    continue;
                }
                std::uint8_t byte = 0;
                if (!ParseHexByte(tokens[t].text, byte)) {
                    error = Where(origin, index) + "\"" + tokens[t].text +
                            "\" is neither a hex byte (such as 0A) nor quoted text";
                    return false;
                }
                value.push_back(byte);
            }
            if (value.size() > kMaxValueBytes) {
                error = Where(origin, index) + "value of parameter " + std::to_string(id) +
                        " has " + std::to_string(value.size()) + " bytes; at most " +
                        std::to_string(kMaxValueBytes) + " fit a reply";
                return false;
            }
            parsed.values[id] = std::move(value);
            parsed.valueLine[id] = index;
        } else if (keyword == "unsupported") {
            for (std::size_t t = 1; t < tokens.size(); ++t) {
                std::uint8_t id = 0;
                if (!ParseId(tokens[t], id, why)) {
                    error = Where(origin, index) + why;
                    return false;
                }
                if (parsed.valueLine.count(id) != 0) {
                    error = Where(origin, index) + "parameter " + std::to_string(id) +
                            " has a value on line " + std::to_string(parsed.valueLine[id] + 1) +
                            " and cannot be unsupported too";
                    return false;
                }
                parsed.unsupported.insert(id);
                unsupportedLine.emplace(id, index);
            }
        } else if (keyword == "fault") {
            if (tokens.size() < 2) {
                error = Where(origin, index) + "\"fault\" needs a fault such as nak@3";
                return false;
            }
            for (std::size_t t = 1; t < tokens.size(); ++t) {
                Fault fault;
                if (tokens[t].quoted || !ParseFault(tokens[t].text, fault, why)) {
                    error = Where(origin, index) +
                            (tokens[t].quoted ? "a fault is not quoted text" : why);
                    return false;
                }
                parsed.faults.push_back(fault);
            }
        } else if (keyword == "latency") {
            int ms = -1;
            const std::string& arg = tokens.size() == 2 ? tokens[1].text : std::string();
            const auto [last, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), ms);
            if (tokens.size() != 2 || tokens[1].quoted || arg.empty() || ec != std::errc() ||
                last != arg.data() + arg.size() || ms < 0 || ms > 60000) {
                error = Where(origin, index) + "\"latency\" needs one number of ms, 0 to 60000";
                return false;
            }
            parsed.latencyMs = ms;
        } else {
            error = Where(origin, index) + "unknown keyword \"" + keyword +
                    "\" (expected name, value, unsupported, fault or latency)";
            return false;
        }
    }
    // A file that ends with a line feed has no line after it.
    if (!parsed.lines.empty() && parsed.lines.back().empty() && !text.empty() &&
        text.back() == '\n') {
        parsed.lines.pop_back();
    }
    parsed.path = profile.path;
    profile = std::move(parsed);
    return true;
}

bool LoadProfile(const std::string& path, RadioProfile& profile, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be opened: " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxProfileBytes) {
            error = path + ": larger than 1 MiB, not a radio profile";
            return false;
        }
    }
    if (in.bad()) {
        error = path + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    RadioProfile parsed;
    if (!ParseProfile(text, path, parsed, error)) {
        return false;
    }
    parsed.path = path;
    profile = std::move(parsed);
    return true;
}

bool SaveProfileValues(const RadioProfile& profile, const std::map<std::uint8_t, Bytes>& values,
                       std::string& error) {
    if (profile.path.empty()) {
        error = "the profile was not loaded from a file";
        return false;
    }
    std::vector<std::string> lines = profile.lines;
    for (const auto& [id, value] : values) {
        const auto original = profile.values.find(id);
        if (original != profile.values.end() && original->second == value) {
            continue;
        }
        const auto line = profile.valueLine.find(id);
        if (line != profile.valueLine.end() && line->second < lines.size()) {
            // The comment stays: it usually names the parameter.
            const std::string comment(CommentOf(lines[line->second]));
            lines[line->second] = FormatValueStatement(id, value);
            if (!comment.empty()) {
                lines[line->second] += "  " + comment;
            }
        } else {
            lines.push_back(FormatValueStatement(id, value));
        }
    }
    const std::string temp = profile.path + ".saving";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) {
            out << line << '\n';
        }
        out.flush();
        if (!out) {
            error = temp + ": cannot be written";
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), profile.path.c_str()) != 0) {
        error = profile.path + ": cannot be replaced: " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace varnel::sim
