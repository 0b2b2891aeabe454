#include "templates/WindowShell.h"

#include <algorithm>
#include <utility>

#include "strings/StringTable.h"

namespace varnel {
namespace {

const MenuItemDefinition kFile[] = {{ID_APP_EXIT, "E&xit"}};
const MenuItemDefinition kRadioAccess[] = {{ID_RADIO_INFO, "Radio &Info..."},
                                           {0, nullptr},
                                           {ID_PROGRAM_ESN, "Program &ESN..."},
                                           {ID_PRODUCTION_LINE, "Production &Line..."},
                                           {ID_PROGRAM_REGIONAL_ID, "Program &Regional ID..."}};
const MenuItemDefinition kOptions[] = {{ID_CONFIGURATION, "&Configuration..."},
                                       {ID_ESN_REGISTRY, "&ESN Registry..."}};
const MenuItemDefinition kView[] = {{ID_VIEW_TOOLBAR, "&Toolbar"},
                                    {ID_VIEW_STATUS_BAR, "&Status Bar"}};
const MenuItemDefinition kHelp[] = {
    {ID_HELP_FINDER, "&Help Topics"}, {0, nullptr}, {ID_APP_ABOUT, "&About Varnel..."}};

const MenuDefinition kMenu128[] = {
    {"&File", kFile}, {"&Radio Access", kRadioAccess}, {"&Options", kOptions}, {"&View", kView},
    {"&Help", kHelp},
};

const int kOfferedNowhere[] = {ID_PROGRAM_REGIONAL_ID, ID_HELP_FINDER};

const AcceleratorDefinition kAccelerators[] = {
    {ShellKey::F1, false, ID_HELP},
    {ShellKey::F1, true, ID_CONTEXT_HELP},
    {ShellKey::F6, false, ID_NEXT_PANE},
    {ShellKey::F6, true, ID_PREV_PANE},
};

const int kToolbarCommands[] = {ID_APP_ABOUT, ID_CONTEXT_HELP};

const IndicatorDefinition kIndicators[] = {
    {ID_INDICATOR_CAPS, LockKey::Caps},
    {ID_INDICATOR_NUM, LockKey::Num},
    {ID_INDICATOR_SCRL, LockKey::Scroll},
};

}  // namespace

std::span<const MenuDefinition> Menu128() {
    return kMenu128;
}

bool IsToggleCommand(int command) {
    return command == ID_VIEW_TOOLBAR || command == ID_VIEW_STATUS_BAR;
}

MenuTrimDefinition MenuTrim() {
    return {kOfferedNowhere, ID_APP_ABOUT};
}

std::span<const AcceleratorDefinition> Accelerators() {
    return kAccelerators;
}

std::span<const int> ToolbarCommands() {
    return kToolbarCommands;
}

std::span<const IndicatorDefinition, kIndicatorCount> Indicators() {
    return kIndicators;
}

void AddAppCommands(CCommandMap& map, AppCommandHandlers handlers) {
    map.Add(ID_APP_ABOUT, std::move(handlers.about));
    map.Add(ID_RADIO_INFO, std::move(handlers.radioInfo));
    map.Add(ID_PROGRAM_ESN, std::move(handlers.programEsn));
    map.Add(ID_CONFIGURATION, std::move(handlers.configuration));
    map.Add(ID_PROGRAM_REGIONAL_ID, std::move(handlers.programRegionalId));
    map.Add(ID_ESN_REGISTRY, std::move(handlers.esnRegistry));
    map.Add(ID_PRODUCTION_LINE, std::move(handlers.productionLine));
    map.Add(ID_APP_EXIT, std::move(handlers.exit));
}

}  // namespace varnel
