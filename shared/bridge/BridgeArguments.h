// How the bridge's functions read their arguments from a request's data
// object, the one place where path arguments are checked.
#pragma once

#include "shared/bridge/BridgeProtocol.h"

#include <string>
#include <string_view>

namespace Norvane::Shared {

// The error text of a path argument that holds a NUL character: the system
// would take the path as ending there, so nothing is done with it.
inline constexpr std::string_view InvalidPathText = "Invalid path";

// A text argument: absent or null gives Default; a string its contents; a
// number its JSON text (12.5 stays "12.5"); true/false "true"/"false"; an
// object or array raises "Conversion from TJSONObject to string is not
// supported" (or TJSONArray).
std::string ReadTextArg(const TJsonValue& Data, std::string_view Key, std::string_view Default = {});
// A boolean argument: absent or null gives Default; true/false its value;
// any other kind raises "Conversion from <kind> to Boolean is not supported".
bool ReadBoolArg(const TJsonValue& Data, std::string_view Key, bool Default);

// Checks a path argument as read: an empty one is refused with MissingText
// (when one is given; an empty MissingText lets it through), one that holds a
// NUL with "Invalid path". A refusal is an EBridgeFailure, which the
// dispatcher answers as the call's error. Gives the path back.
const std::string& AcceptPath(const std::string& Path, std::string_view MissingText = {});
// Reads the text argument Key and checks it as a path that must be given:
// refused with "Missing <Key>" when empty.
std::string ReadPathArg(const TJsonValue& Data, std::string_view Key);

} // namespace Norvane::Shared
