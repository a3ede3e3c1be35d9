// The style registry: the registered styles, the active one and the hooks.
// Applying the active style to the windows is the backend's part
// (TStyleManager::ApplyActive).
#include "platform/ui/Styles.h"
#include "platform/Text.h"

namespace Norvane::Platform::Ui {
namespace {

struct TStyleState {
    std::vector<std::shared_ptr<TCustomStyle>> Styles;
    std::shared_ptr<TCustomStyle> Active;
    unsigned Hooks = shMenus | shDialogs | shToolTips;
};

TStyleState& State() {
    static TStyleState state;
    return state;
}

using Text::EqualsNoCase;

} // namespace

void TStyleManager::Register(std::shared_ptr<TCustomStyle> Style) {
    if (!Style)
        return;
    auto& styles = State().Styles;
    for (auto& s : styles)
        if (EqualsNoCase(s->Name(), Style->Name())) {
            s = std::move(Style);
            return;
        }
    styles.push_back(std::move(Style));
}

void TStyleManager::UnregisterAll() {
    State().Styles.clear();
    State().Active.reset();
    ApplyActive();
}

std::vector<std::string> TStyleManager::StyleNames() {
    std::vector<std::string> names{SystemStyleName};
    for (auto& s : State().Styles)
        names.push_back(s->Name());
    return names;
}

bool TStyleManager::Exists(const std::string& Name) {
    return EqualsNoCase(Name, SystemStyleName) || Find(Name);
}

std::shared_ptr<TCustomStyle> TStyleManager::Find(const std::string& Name) {
    for (auto& s : State().Styles)
        if (EqualsNoCase(s->Name(), Name))
            return s;
    return nullptr;
}

bool TStyleManager::TrySetStyle(const std::string& Name) {
    if (EqualsNoCase(Name, SystemStyleName)) {
        State().Active.reset();
        ApplyActive();
        return true;
    }
    auto style = Find(Name);
    if (!style)
        return false;
    State().Active = style;
    ApplyActive();
    return true;
}

std::shared_ptr<TCustomStyle> TStyleManager::ActiveStyle() {
    return State().Active;
}

std::string TStyleManager::ActiveStyleName() {
    return State().Active ? State().Active->Name() : std::string(SystemStyleName);
}

unsigned TStyleManager::SystemHooks() {
    return State().Hooks;
}

void TStyleManager::SetSystemHooks(unsigned Hooks) {
    State().Hooks = Hooks;
    ApplyActive();
}

std::string TStyleManager::ActiveStyleSheet() {
    auto& state = State();
    if (!state.Active)
        return {};
    std::string css = state.Active->StyleSheet();
    if (state.Hooks & shMenus)
        css.append("\n").append(state.Active->MenuStyleSheet());
    return css;
}

} // namespace Norvane::Platform::Ui
