#include "tests/support/RecordingReporter.h"

namespace varnel::test {

std::vector<int> RecordingReporter::Ids() const {
    std::vector<int> ids;
    for (const auto& m : m_messages) {
        ids.push_back(m.id);
    }
    return ids;
}

}  // namespace varnel::test
