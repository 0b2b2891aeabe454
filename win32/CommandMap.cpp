#include "win32/CommandMap.h"

#include <algorithm>

namespace varnel {

void CCommandMap::Add(int commandId, Handler handler) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [commandId](const auto& entry) { return entry.first == commandId; });
    if (it != m_entries.end()) {
        it->second = std::move(handler);
    } else {
        m_entries.emplace_back(commandId, std::move(handler));
    }
}

bool CCommandMap::Has(int commandId) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [commandId](const auto& entry) { return entry.first == commandId; });
}

bool CCommandMap::Dispatch(int commandId) const {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [commandId](const auto& entry) { return entry.first == commandId; });
    if (it == m_entries.end() || !it->second) {
        return false;
    }
    // A copy: the handler may replace itself while it runs.
    const Handler handler = it->second;
    handler();
    return true;
}

}  // namespace varnel
