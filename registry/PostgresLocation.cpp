#include "registry/PostgresRegistry.h"

namespace varnel {

// In every build, the one without the PostgreSQL client too: a URI is shown the same way
// wherever it is refused.
std::string PostgresLocationWithoutPassword(const std::string& uri) {
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string::npos) {
        return uri;
    }
    const std::size_t start = scheme + 3;
    std::size_t end = uri.find_first_of("/?", start);
    if (end == std::string::npos) {
        end = uri.size();
    }
    std::string result = uri.substr(0, start);
    std::string authority = uri.substr(start, end - start);
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::size_t colon = authority.find(':');
        if (colon < at) {
            authority.erase(colon, at - colon);
        }
    }
    result += authority;
    const std::size_t query = uri.find('?', end);
    result += uri.substr(end, query == std::string::npos ? std::string::npos : query - end);
    if (query != std::string::npos) {
        std::string kept;
        std::size_t from = query + 1;
        while (from <= uri.size()) {
            std::size_t amp = uri.find('&', from);
            if (amp == std::string::npos) {
                amp = uri.size();
            }
            const std::string param = uri.substr(from, amp - from);
            if (!param.empty() && param.rfind("password=", 0) != 0) {
                kept += (kept.empty() ? "" : "&") + param;
            }
            from = amp + 1;
        }
        if (!kept.empty()) {
            result += "?" + kept;
        }
    }
    return result;
}

}  // namespace varnel
