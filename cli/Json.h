#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::cli {

// How the bytes of a text are to be read when they go into JSON.
enum class TextBytes {
    // A value from the radio: one byte per character, Latin-1, as the dialogs show it.
    Latin1,
    // The tool's own texts, port names and paths: UTF-8; a byte that is not part of valid UTF-8
    // is taken as Latin-1 so that nothing is lost and the output stays valid.
    Utf8,
};

// text as a JSON string literal, quotes included: quotes, backslashes and every control
// character escaped, the result always valid UTF-8.
std::string JsonQuote(std::string_view text, TextBytes bytes = TextBytes::Utf8);

// Builds one JSON object, members in the order they are added.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string_view text, TextBytes bytes = TextBytes::Utf8);
    JsonObject& Add(std::string_view key, long long number);
    JsonObject& AddBool(std::string_view key, bool value);
    JsonObject& AddNull(std::string_view key);
    // value must already be JSON (an object or array built with these helpers).
    JsonObject& AddRaw(std::string_view key, std::string_view json);
    std::string Str() const { return "{" + m_body + "}"; }

private:
    void Key(std::string_view key);
    std::string m_body;
};

// A JSON array of strings.
std::string JsonStringArray(const std::vector<std::string>& texts,
                            TextBytes bytes = TextBytes::Utf8);

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
// syntax, invalid UTF-8, nesting deeper than a record ever has.
std::optional<JsonValue> ParseJson(std::string_view text);

}  // namespace varnel::cli
