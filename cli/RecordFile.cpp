// The record file's rules, the same on every platform; opening, locking, reading and appending
// are in RecordFilePosix.cpp and RecordFileWin32.cpp.
#include "cli/RecordFile.h"

namespace varnel::cli {

RecordFile::LockResult RecordFile::Lock(std::string& error) {
    return WaitForLock(true, error);
}

bool RecordFile::ReadLines(std::vector<RecordLine>& lines, const std::function<void(int)>& skipped,
                           std::string& error) {
    std::string contents;
    if (!ReadAll(contents, error)) {
        return false;
    }
    int number = 0;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t end = contents.find('\n', start);
        if (end == std::string::npos) {
            end = contents.size();
        }
        ++number;
        std::string_view text(contents.data() + start, end - start);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        start = end + 1;
        if (text.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        auto value = ParseJson(text);
        if (!value || value->kind != JsonValue::Kind::Object) {
            if (skipped) {
                skipped(number);
            }
            continue;
        }
        lines.push_back({number, std::move(*value)});
    }
    return true;
}

std::optional<EarlierEsn> FindEsnInRecord(const std::vector<RecordLine>& lines,
                                          const std::string& esn) {
    for (const RecordLine& line : lines) {
        const JsonValue& record = line.value;
        if (record.StringAt("command") != "program-esn") {
            continue;
        }
        const JsonValue* results = record.Find("results");
        if (results == nullptr || results->StringAt("esn") != esn) {
            continue;
        }
        const auto write = results->StringAt("write");
        const bool confirmed = record.StringAt("outcome") == "ok" || write == "confirmed";
        if (!confirmed && write != "unconfirmed") {
            continue;
        }
        EarlierEsn earlier;
        earlier.line = line.number;
        earlier.time = record.StringAt("time").value_or("an unknown time");
        earlier.port = record.StringAt("port").value_or("an unknown port");
        earlier.confirmed = confirmed;
        return earlier;
    }
    return std::nullopt;
}

}  // namespace varnel::cli
