// The style engine's hook points: named styles that draw the native window
// parts, one of them active, with "Windows" always present as the system look.
#pragma once

#include "platform/ui/Graphics.h"

#include <memory>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui {

// What a style gives the toolkit: a style sheet (toolkit CSS) for the window
// parts, and one for pop-up menus, used only while menus are in the hooks.
class TCustomStyle {
public:
    virtual ~TCustomStyle() = default;
    virtual std::string Name() const = 0;
    virtual std::string StyleSheet() const = 0;
    virtual std::string MenuStyleSheet() const { return {}; }
    // The style's value of system colour Index (the nn of 0xFF0000nn); false
    // where the style leaves it to the system.
    virtual bool SystemColor(unsigned Index, TRgb& Rgb) const {
        (void)Index;
        (void)Rgb;
        return false;
    }
};

// The system elements the style engine takes over besides the windows.
enum TSystemHook : unsigned { shMenus = 1u << 0, shDialogs = 1u << 1, shToolTips = 1u << 2 };

class TStyleManager {
public:
    static constexpr const char* SystemStyleName = "Windows";

    // Registers a style under its Name(); a later style of the same name
    // (compared without regard to case) replaces the earlier one.
    static void Register(std::shared_ptr<TCustomStyle> Style);
    static void UnregisterAll();
    // "Windows" first, then the registered names in order of registration.
    static std::vector<std::string> StyleNames();
    static bool Exists(const std::string& Name);
    // The registered style of the name (case-insensitive), null for the system
    // style or an unknown name.
    static std::shared_ptr<TCustomStyle> Find(const std::string& Name);
    // Makes the named style (case-insensitive) active and repaints every
    // window; false, and no change, for an unknown name.
    static bool TrySetStyle(const std::string& Name);
    // The active style's own name ("Windows" for the system look).
    static std::string ActiveStyleName();
    static unsigned SystemHooks();
    static void SetSystemHooks(unsigned Hooks);
    // Style sheet now in force (empty for the system look).
    static std::string ActiveStyleSheet();
    // The active style, null for the system look.
    static std::shared_ptr<TCustomStyle> ActiveStyle();

private:
    // Gives the toolkit the active style and repaints every window (once the
    // application is initialized); each backend has its own.
    static void ApplyActive();
};

} // namespace Norvane::Platform::Ui
