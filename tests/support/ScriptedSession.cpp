#include "tests/support/ScriptedSession.h"

namespace varnel::test {

std::vector<int> ReadAnswer(const std::vector<int>& value) {
    std::vector<int> payload{0x00};
    payload.insert(payload.end(), value.begin(), value.end());
    return Concat({kAck, Frame(139, payload)});
}

std::vector<int> ReadAnswer(const std::string& text) {
    return ReadAnswer(std::vector<int>(text.begin(), text.end()));
}

std::vector<std::uint8_t> ReadRequest(int id) {
    const std::vector<int> frame = Frame(35, {id});
    return std::vector<std::uint8_t>(frame.begin(), frame.end());
}

std::vector<std::uint8_t> WriteRequest(const std::vector<int>& payload) {
    const std::vector<int> frame = Frame(24, payload);
    return std::vector<std::uint8_t>(frame.begin(), frame.end());
}

}  // namespace varnel::test
