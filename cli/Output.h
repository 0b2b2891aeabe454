#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Json.h"
#include "procedures/PortList.h"
#include "procedures/RadioInfo.h"

namespace varnel::cli {

// A value from the radio for a terminal: its Latin-1 characters in UTF-8, with every control
// character (a line feed among them) as a space, so that one field stays one line.
std::string TerminalText(std::string_view latin1);

// A message for standard error: "error: TEXT" or "info: TEXT", a line feed inside the text
// becoming a space. No line end.
std::string MessageLine(int kind, std::string_view text);

// The eleven lines of Radio Info, "Label: value" in the order of the reads; the label alone
// where the dialog leaves the field empty.
std::vector<std::string> InfoLines(const RadioInfoResult& result);

// The fields of Radio Info as a JSON object under their keys; null where the dialog leaves a
// field empty. InfoFieldsJson is the same as text.
Json InfoFields(const RadioInfoResult& result);
std::string InfoFieldsJson(const RadioInfoResult& result);

// "present", "held" or "missing".
std::string_view PresenceWord(PortPresence presence);

// One line per port: the name, the device ("-" when the name stands for none) and how it stands.
std::vector<std::string> PortLines(const std::vector<PortEntry>& ports);
// The ports as a JSON array of objects: name, device (null for none) and state.
Json PortsArray(const std::vector<PortEntry>& ports);
std::string PortsJson(const std::vector<PortEntry>& ports);

// One line of --trace: milliseconds since the start with three decimals, the direction ('>'
// sent, '=' the line's echo, '<' the radio) and the bytes in upper-case hex.
std::string TraceLine(double elapsedMs, char direction, const std::uint8_t* bytes,
                      std::uint32_t count);

// The moment as ISO 8601 in UTC with milliseconds: 2025-01-09T14:32:05.123Z.
std::string Iso8601Utc(std::int64_t unixMs);

}  // namespace varnel::cli
