#include "link/SysFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace varnel {

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: a path that turns out to be a FIFO or a device must not stall the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    char chunk[1024];
    while (text.size() < limit) {
        const std::size_t want = std::min(sizeof chunk, limit - text.size());
        const ssize_t n = ::read(fd, chunk, want);
        if (n > 0) {
            text.append(chunk, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0) {
            ::close(fd);
            return std::nullopt;
        } else {
            break;
        }
    }
    ::close(fd);
    return text;
}

std::string PrintableText(std::string_view raw, std::size_t maxBytes) {
    std::string out;
    bool pendingSpace = false;
    for (char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == ' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) {
            out += ' ';
            pendingSpace = false;
        }
        out += ch;
    }
    if (out.size() > maxBytes) {
        std::size_t cut = maxBytes;
        // Step back over UTF-8 continuation bytes so that no character is split.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.resize(cut);
        while (!out.empty() && out.back() == ' ') {
            out.pop_back();
        }
    }
    return out;
}

std::optional<int> SerialCoreUartType(const std::string& classDir) {
    const std::string attribute = classDir + "/type";
    if (::access(attribute.c_str(), F_OK) != 0) {
        return std::nullopt;
    }
    const std::string text = PrintableText(ReadSmallFile(attribute).value_or(""));
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return std::stoi(text);
}

}  // namespace varnel
