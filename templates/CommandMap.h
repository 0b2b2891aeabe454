#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace varnel {

// Command handlers by numeric command id. A menu item, a toolbar button, an accelerator and a
// direct call all reach a command the same way, through Dispatch, and a command that no map
// handles is shown disabled.
class CCommandMap {
public:
    using Handler = std::function<void()>;

    // Adds or replaces the handler of a command.
    void Add(int commandId, Handler handler);
    bool Has(int commandId) const;
    // Runs the handler of a command; false when the map has none.
    bool Dispatch(int commandId) const;

private:
    std::vector<std::pair<int, Handler>> m_entries;
};

}  // namespace varnel
