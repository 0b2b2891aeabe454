#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::cli {

// A JSON value as the tool writes it: object members stay in the order they are added.
using Json = nlohmann::ordered_json;

// How the bytes of a text are to be read when they go into JSON.
enum class TextBytes {
    // A value from the radio: one byte per character, Latin-1, as the dialogs show it.
    Latin1,
    // The tool's own texts, port names and paths: UTF-8; a byte that is not part of valid UTF-8
    // is taken as Latin-1 so that nothing is lost and the output stays valid.
    Utf8,
};

// text as a JSON string value, its bytes read as bytes says: always valid UTF-8.
Json JsonText(std::string_view text, TextBytes bytes = TextBytes::Utf8);

// A JSON array of texts.
Json JsonTexts(const std::vector<std::string>& texts, TextBytes bytes = TextBytes::Utf8);

// value on one line, without blanks: quotes, backslashes and every control character (DEL
// included) escaped, everything else as its UTF-8.
std::string JsonDump(const Json& value);

// text as a JSON string literal, quotes included.
std::string JsonQuote(std::string_view text, TextBytes bytes = TextBytes::Utf8);

// A parsed JSON value, for reading back the record file. Strings hold UTF-8.
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member named key of an object, or null when there is none (or this is no object).
    const JsonValue* Find(std::string_view key) const;
    // The text of member key when it is a string.
    std::optional<std::string> StringAt(std::string_view key) const;
};

// Parses one JSON text (the whole of text, blanks around it allowed). Nothing on any fault: bad
// syntax, invalid UTF-8, a number too large for a double, nesting deeper than a record ever has.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace varnel::cli
