#include "cli/Output.h"

#include <cstdio>
#include <ctime>

#include "usecases/RadioInfoFields.h"

namespace varnel::cli {

std::string TerminalText(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            out += ' ';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string MessageLine(int kind, std::string_view text) {
    std::string line = kind == MSG_INFO ? "info: " : "error: ";
    for (char c : text) {
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return line;
}

std::vector<std::string> InfoLines(const RadioInfoResult& result) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < kRadioInfoQueries.size(); ++i) {
        std::string line = std::string(kRadioInfoQueries[i].label) + ":";
        const auto& field = result.fields[i];
        if (field && !field->empty()) {
            line += ' ';
            line += TerminalText(*field);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

Json InfoFields(const RadioInfoResult& result) {
    Json fields = Json::object();
    for (std::size_t i = 0; i < kRadioInfoQueries.size(); ++i) {
        const auto& field = result.fields[i];
        fields[std::string(kRadioInfoFields[i].key)] =
            field ? JsonText(*field, TextBytes::Latin1) : Json(nullptr);
    }
    return fields;
}

std::string InfoFieldsJson(const RadioInfoResult& result) {
    return JsonDump(InfoFields(result));
}

std::string_view PresenceWord(PortPresence presence) {
    switch (presence) {
        case PortPresence::Present:
            return "present";
        case PortPresence::Unavailable:
            return "held";
        case PortPresence::Missing:
            break;
    }
    return "missing";
}

std::vector<std::string> PortLines(const std::vector<PortEntry>& ports) {
    std::vector<std::string> lines;
    for (const PortEntry& port : ports) {
        lines.push_back(port.name + " " + (port.device.empty() ? "-" : port.device) + " " +
                        std::string(PresenceWord(port.presence)));
    }
    return lines;
}

Json PortsArray(const std::vector<PortEntry>& ports) {
    Json array = Json::array();
    for (const PortEntry& port : ports) {
        Json entry = Json::object();
        entry["name"] = JsonText(port.name);
        entry["device"] = port.device.empty() ? Json(nullptr) : JsonText(port.device);
        entry["state"] = std::string(PresenceWord(port.presence));
        array.push_back(std::move(entry));
    }
    return array;
}

std::string PortsJson(const std::vector<PortEntry>& ports) {
    return JsonDump(PortsArray(ports));
}

std::string TraceLine(double elapsedMs, char direction, const std::uint8_t* bytes,
                      std::uint32_t count) {
    static const char kHex[] = "0123456789ABCDEF";
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.3f %c", elapsedMs, direction);
    std::string line = stamp;
    line.reserve(line.size() + count * 3);
    for (std::uint32_t i = 0; i < count; ++i) {
        line += ' ';
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0x0F];
    }
    return line;
}

std::string Iso8601Utc(std::int64_t unixMs) {
    std::int64_t seconds = unixMs / 1000;
    int millis = static_cast<int>(unixMs % 1000);
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

}  // namespace varnel::cli
