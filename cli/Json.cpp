#include "cli/Json.h"

namespace varnel::cli {
namespace {

// A record line nests three deep; anything far deeper is not one of ours.
constexpr int kMaxDepth = 32;

void AppendLatin1(std::string& out, unsigned char c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Dump(const Json& value, Json::error_handler_t handler) {
    return value.dump(-1, ' ', false, handler);
}

// Whether piece is one valid UTF-8 sequence or more: the library drops what is not, and a
// piece of bytes at or above 0x80 needs no escaping, so it comes out as it went in.
bool IsUtf8(std::string_view piece) {
    const std::string dumped = Dump(Json(std::string(piece)), Json::error_handler_t::ignore);
    return dumped.size() == piece.size() + 2 && dumped.compare(1, piece.size(), piece) == 0;
}

// text with every byte that does not belong to a valid UTF-8 sequence read as Latin-1.
std::string RepairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t at = 0;
    while (at < text.size()) {
        const auto c = static_cast<unsigned char>(text[at]);
        std::size_t length = 0;
        if (c >= 0x80) {
            // A sequence is two to four bytes long; being prefix-free, at most one length fits.
            for (std::size_t n = 2; n <= 4 && at + n <= text.size(); ++n) {
                if (IsUtf8(text.substr(at, n))) {
                    length = n;
                    break;
                }
            }
        }
        if (length > 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            AppendLatin1(out, c);
            ++at;
        }
    }
    return out;
}

JsonValue FromLibrary(const Json& value) {
    JsonValue out;
    switch (value.type()) {
        case Json::value_t::null:
        case Json::value_t::discarded:
            break;
        case Json::value_t::boolean:
            out.kind = JsonValue::Kind::Bool;
            out.boolean = value.get<bool>();
            break;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            out.kind = JsonValue::Kind::Number;
            out.number = value.get<double>();
            break;
        case Json::value_t::string:
            out.kind = JsonValue::Kind::String;
            out.text = value.get<std::string>();
            break;
        case Json::value_t::array:
            out.kind = JsonValue::Kind::Array;
            for (const auto& item : value) {
                out.items.push_back(FromLibrary(item));
            }
            break;
        case Json::value_t::object:
            out.kind = JsonValue::Kind::Object;
            for (const auto& [key, member] : value.items()) {
                out.members.emplace_back(key, FromLibrary(member));
            }
            break;
        case Json::value_t::binary:  // never read from text
            break;
    }
    return out;
}

}  // namespace

Json JsonText(std::string_view text, TextBytes bytes) {
    if (bytes == TextBytes::Utf8) {
        return RepairUtf8(text);
    }
    std::string utf8;
    utf8.reserve(text.size() + 8);
    for (char c : text) {
        AppendLatin1(utf8, static_cast<unsigned char>(c));
    }
    return utf8;
}

Json JsonTexts(const std::vector<std::string>& texts, TextBytes bytes) {
    Json array = Json::array();
    for (const std::string& text : texts) {
        array.push_back(JsonText(text, bytes));
    }
    return array;
}

std::string JsonDump(const Json& value) {
    // Every text went in through JsonText, so nothing here is invalid UTF-8.
    const std::string dumped = Dump(value, Json::error_handler_t::replace);
    // DEL is a control character too: escaped, so that a terminal showing the JSON is not
    // disturbed by it. Its byte only ever stands for itself in UTF-8.
    std::string out;
    out.reserve(dumped.size());
    for (char c : dumped) {
        if (c == '\x7F') {
            out += "\\u007f";
        } else {
            out += c;
        }
    }
    return out;
}

std::string JsonQuote(std::string_view text, TextBytes bytes) {
    return JsonDump(JsonText(text, bytes));
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
    // The library's parser keeps its own stack, so depth costs it no recursion; the check here
    // bounds the copy below.
    bool tooDeep = false;
    const Json::parser_callback_t depthCheck = [&tooDeep](int depth, Json::parse_event_t, Json&) {
        tooDeep = tooDeep || depth > kMaxDepth;
        return !tooDeep;
    };
    Json value;
    try {
        value = Json::parse(text.begin(), text.end(), depthCheck);
    } catch (const Json::exception&) {
        return std::nullopt;
    }
    if (tooDeep) {
        return std::nullopt;
    }
    return FromLibrary(value);
}

}  // namespace varnel::cli
