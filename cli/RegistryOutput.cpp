#include "cli/RegistryOutput.h"

#include <array>

#include "cli/Json.h"
#include "strings/Csv.h"

namespace varnel::cli {
namespace {

constexpr std::array<const char*, 10> kFieldNames = {
    "esn",  "state",        "pool",        "station",    "user",
    "port", "radio_serial", "reserved_at", "settled_at", "reason"};

std::array<std::string, 10> Fields(const EsnEntry& entry) {
    return {entry.esn,
            EsnStateWord(entry.state),
            entry.pool,
            entry.origin.station,
            entry.origin.user,
            entry.origin.port,
            entry.origin.radioSerial,
            entry.reservedAt,
            entry.settledAt,
            entry.reason};
}

// UTF-8 text for one field of a line: every control character (a tab, a line break) as a space,
// so that a field never splits the line.
std::string OneLine(const std::string& text) {
    std::string clean = text;
    for (char& c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return clean;
}

}  // namespace

std::string EntryLine(const EsnEntry& entry) {
    const auto fields = Fields(entry);
    std::string line = OneLine(fields[0]);
    for (std::size_t i = 1; i < fields.size(); ++i) {
        line += '\t';
        line += OneLine(fields[i]);
    }
    return line;
}

Json EntryJson(const EsnEntry& entry) {
    Json object = Json::object();
    const auto fields = Fields(entry);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        object[kFieldNames[i]] = JsonText(fields[i]);
    }
    return object;
}

Json EntriesJson(const std::vector<EsnEntry>& entries) {
    Json list = Json::array();
    for (const EsnEntry& entry : entries) {
        list.push_back(EntryJson(entry));
    }
    return list;
}

std::string PoolLine(const EsnPool& pool) {
    return OneLine(pool.name) + "\t" + FormatEsn(pool.first) + "\t" + FormatEsn(pool.last) + "\t" +
           std::to_string(pool.freeCount);
}

Json PoolsJson(const std::vector<EsnPool>& pools) {
    Json list = Json::array();
    for (const EsnPool& pool : pools) {
        Json object = Json::object();
        object["name"] = JsonText(pool.name);
        object["first"] = FormatEsn(pool.first);
        object["last"] = FormatEsn(pool.last);
        object["free"] = static_cast<long long>(pool.freeCount);
        list.push_back(std::move(object));
    }
    return list;
}

std::string EntriesCsv(const std::vector<EsnEntry>& entries) {
    std::string csv;
    for (const char* name : kFieldNames) {
        if (!csv.empty()) {
            csv += ',';
        }
        csv += name;
    }
    csv += '\n';
    for (const EsnEntry& entry : entries) {
        const auto fields = Fields(entry);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) {
                csv += ',';
            }
            csv += CsvField(fields[i]);
        }
        csv += '\n';
    }
    return csv;
}

}  // namespace varnel::cli
