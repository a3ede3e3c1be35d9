#include "shared/bridge/BridgeArguments.h"

namespace Norvane::Shared {

std::string ReadTextArg(const TJsonValue& Data, std::string_view Key, std::string_view Default) {
    const TJsonValue* value = Data.Find(Key);
    if (value == nullptr || value->IsNull())
        return std::string(Default);
    return JsonAsText(*value);
}

bool ReadBoolArg(const TJsonValue& Data, std::string_view Key, bool Default) {
    const TJsonValue* value = Data.Find(Key);
    if (value == nullptr || value->IsNull())
        return Default;
    if (!value->IsBoolean())
        throw EBridgeError(ConversionErrorText(value->ClassName(), BooleanTypeName));
    return value->Kind() == TJsonKind::True;
}

const std::string& AcceptPath(const std::string& Path, std::string_view MissingText) {
    if (Path.empty() && !MissingText.empty())
        throw EBridgeFailure(std::string(MissingText));
    if (Path.find('\0') != std::string::npos)
        throw EBridgeFailure(std::string(InvalidPathText));
    return Path;
}

std::string ReadPathArg(const TJsonValue& Data, std::string_view Key) {
    std::string path = ReadTextArg(Data, Key);
    AcceptPath(path, "Missing " + std::string(Key));
    return path;
}

} // namespace Norvane::Shared
