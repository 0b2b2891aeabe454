#include "templates/CommandMap.h"

#include <algorithm>

namespace varnel {

void CCommandMap::Add(int commandId, Handler handler) {
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [commandId](const auto& e) { return e.first == commandId; });
    if (it != m_entries.end()) {
        it->second = std::move(handler);
    } else {
        m_entries.emplace_back(commandId, std::move(handler));
    }
}

bool CCommandMap::Has(int commandId) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [commandId](const auto& e) { return e.first == commandId && e.second; });
}

bool CCommandMap::Dispatch(int commandId) const {
    for (const auto& [id, handler] : m_entries) {
        if (id == commandId && handler) {
            // A copy: the handler may replace itself in the map while it runs.
            Handler run = handler;
            run();
            return true;
        }
    }
    return false;
}

}  // namespace varnel
