// The messages the web-process extension sends its view; shared by the engine
// library and the extension.
#pragma once

namespace Norvane::Engine {

// The content process's id (an int32).
inline constexpr const char* ProcessIdMessage = "norvane-pid";
// One console message of a page, in an author's run only: (level, source,
// text, the address of its script, line) as "(uusst)", with the numbers below
// (WebKit's own, which the extension checks).
inline constexpr const char* ConsoleMessage = "norvane-console";
enum TConsoleLevel : unsigned { clInfo, clLog, clWarning, clError, clDebug };
enum TConsoleSource : unsigned { csJavaScript, csNetwork, csConsoleApi, csSecurity, csOther };

} // namespace Norvane::Engine
