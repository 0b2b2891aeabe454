#include "registry/RegistryRules.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace varnel {

namespace {

// One decimal field of at most maxDigits digits, ending at a '/' or at the end of text.
bool TakeField(std::string_view& text, std::size_t maxDigits, std::int32_t& value) {
    std::size_t digits = 0;
    std::int32_t number = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (digits == maxDigits) {
            return false;
        }
        number = number * 10 + (text[digits] - '0');
        ++digits;
    }
    if (digits == 0) {
        return false;
    }
    value = number;
    text.remove_prefix(digits);
    return true;
}

}  // namespace

std::optional<EsnFields> ParseRegistryEsn(std::string_view text) {
    EsnFields esn;
    if (!TakeField(text, 3, esn.field1) || text.empty() || text.front() != '/') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    if (!TakeField(text, 2, esn.field2) || text.empty() || text.front() != '/') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    if (!TakeField(text, 6, esn.field3) || !text.empty()) {
        return std::nullopt;
    }
    if (esn.field1 > kEsnField1Max || esn.field2 > kEsnField2Max || esn.field3 < kEsnField3Min ||
        esn.field3 > kEsnField3Max) {
        return std::nullopt;
    }
    return esn;
}

std::optional<std::string> CanonicalEsnText(std::string_view text) {
    if (auto esn = ParseRegistryEsn(text)) {
        return FormatEsn(*esn);
    }
    return std::nullopt;
}

std::string RegistryTimestampNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const long long millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[96];  // room for any int the compiler cannot rule out
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  millis < 0 ? 0 : millis);
    return text;
}

std::optional<std::string> PoolProblem(const std::string& name, const EsnFields& first,
                                       const EsnFields& last) {
    if (name.find_first_not_of(" \t") == std::string::npos) {
        return "A pool needs a name.";
    }
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            return "A pool name cannot hold control characters.";
        }
    }
    const auto valid = [](const EsnFields& esn) {
        return esn.field1 >= 0 && esn.field1 <= kEsnField1Max && esn.field2 >= 0 &&
               esn.field2 <= kEsnField2Max && esn.field3 >= kEsnField3Min &&
               esn.field3 <= kEsnField3Max;
    };
    if (!valid(first) || !valid(last)) {
        return "The first and last ESN of a pool must both be valid ESNs.";
    }
    if (first.field1 != last.field1 || first.field2 != last.field2) {
        return "The first and last ESN of a pool may differ only in their last field: " +
               FormatEsn(first) + " and " + FormatEsn(last) + " do not.";
    }
    if (last.field3 < first.field3) {
        return "The last ESN of a pool cannot come before its first: " + FormatEsn(last) +
               " is below " + FormatEsn(first) + ".";
    }
    return std::nullopt;
}

RegistryError Refusal(std::string message) {
    RegistryError error;
    error.message = std::move(message);
    error.refused = true;
    return error;
}

RegistryError NotAnEsn(std::string_view text) {
    // Built by appending: GCC 12 warns falsely about a literal + a temporary string here.
    std::string message = "\"";
    message.append(text);
    message.append("\" is not an ESN (three fields: 130/05/123456).");
    return Refusal(std::move(message));
}

RegistryError NotHeld(const std::string& esn) {
    return Refusal("The ESN registry holds no entry for " + esn + ".");
}

RegistryError PoolNameTaken(const std::string& name) {
    return Refusal("The ESN registry already has a pool named \"" + name + "\".");
}

RegistryError NoSuchPool(const std::string& name) {
    return Refusal("The ESN registry has no pool named \"" + name + "\".");
}

RegistryError PoolExhausted(const std::string& name) {
    return Refusal("The pool \"" + name + "\" has no free ESN left.");
}

RegistryError NotBeingSent(const std::string& esn, EsnState state) {
    return Refusal(esn + " is " + EsnStateWord(state) +
                   " in the ESN registry, not being sent: its state was left as it is.");
}

RegistryError ConfirmedNeverReleased(const std::string& esn) {
    return Refusal(esn +
                   " is confirmed: a radio holds it, so it can never be released for another.");
}

RegistryError AlreadyReleased(const std::string& esn) {
    return Refusal(esn + " is already released.");
}

RegistryError ReleaseNeedsReason() {
    return Refusal("Releasing an ESN needs a reason, which the registry keeps.");
}

RegistryError ImportOnlyBlocking(const std::string& esn) {
    return Refusal("Only sending, unconfirmed or confirmed entries can be imported; " + esn +
                   " is neither.");
}

RegistryError SchemaTooNew(const std::string& location, long long found) {
    RegistryError error;
    error.message = "The ESN registry " + location + " was made by a newer Varnel (schema " +
                    std::to_string(found) + "; this one knows up to " +
                    std::to_string(kRegistrySchemaVersion) +
                    "). Use that version, or a registry of its own for this one.";
    return error;
}

RegistryError SchemaDamaged(const std::string& location, long long found) {
    RegistryError error;
    error.message = "The ESN registry " + location + " is damaged: its schema version is " +
                    (found < 0 ? std::string("missing")
                               : std::to_string(found) + ", which no Varnel ever wrote") +
                    ". It was left as it is; nothing was sent to the radio.";
    return error;
}

}  // namespace varnel
