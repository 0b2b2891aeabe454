#pragma once

#include <string>
#include <vector>

#include "cli/Json.h"
#include "registry/EsnRegistry.h"

namespace varnel::cli {

// The registry's entries and pools as the tool prints them: one tab-separated line each for a
// terminal or a script, one JSON object each for --json, and CSV for export. Every form names
// the same fields in the same order: esn, state, pool, station, user, port, radio_serial,
// reserved_at, settled_at, reason.

std::string EntryLine(const EsnEntry& entry);
Json EntryJson(const EsnEntry& entry);
Json EntriesJson(const std::vector<EsnEntry>& entries);

// name, first, last, free
std::string PoolLine(const EsnPool& pool);
Json PoolsJson(const std::vector<EsnPool>& pools);

// A header line and one line per entry, CRLF-free, fields quoted when they hold a comma, a
// quote or a line break.
std::string EntriesCsv(const std::vector<EsnEntry>& entries);

}  // namespace varnel::cli
