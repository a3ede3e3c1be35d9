// The main menu functions: setItems and updateItem, and the clicks of the
// menu's items.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/Paths.h"
#include "shared/StrUtils.h"
#include "shared/Streams.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace Norvane::Shared {

namespace fs = std::filesystem;
using namespace Platform::Ui;
using Platform::PathFromUtf8;

namespace {

// The largest picture file a menu item takes.
constexpr std::uintmax_t MaxMenuImageBytes = 16u << 20;

// A key of a menu item object read as text: present and a string, number,
// boolean or null (which reads "null"); false for an absent key, an object
// or an array.
bool ReadMenuText(const TJsonValue& Object, std::string_view Key, std::string& Text) {
    const TJsonValue* value = Object.Find(Key);
    if (!value || value->IsObject() || value->IsArray())
        return false;
    Text = value->Text();
    return true;
}

// "true"/"false" in any letter case, or a number (0 false, any other true);
// anything else raises "'<Text>' is not a valid boolean value".
bool MenuBoolean(const std::string& Text) {
    double number = 0;
    if (TryParseDotFloat(Text, number))
        return number != 0;
    if (TStrUtils::StartsText("true", Text) && Text.size() == 4)
        return true;
    if (TStrUtils::StartsText("false", Text) && Text.size() == 5)
        return false;
    throw EBridgeError("'" + Text + "' is not a valid boolean value");
}

// The id of a menu item: the text as a 32-bit integer, 0 when it is none.
std::int32_t MenuTag(const std::string& Text) {
    std::int32_t tag = 0;
    return TryParseInt32(Text, tag) ? tag : 0;
}

// The bytes of a regular file of at most MaxMenuImageBytes; empty otherwise.
std::string ReadPictureFile(const std::string& Path) {
    std::error_code ec;
    if (!fs::is_regular_file(PathFromUtf8(Path), ec))
        return {};
    const std::uintmax_t size = fs::file_size(PathFromUtf8(Path), ec);
    if (ec || size == 0)
        return {};
    if (size > MaxMenuImageBytes)
        throw EBridgeError("The picture \"" + Path + "\" is larger than 16 MiB");
    const std::vector<std::uint8_t> bytes = ReadFileBytes(Path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

void TBrowserExternalModule::LoadMenuImage(TMenuItem& Item, const std::string& Name) {
    std::string bytes;
    if (FExeZip && FExeZip->FindEntry(Name) >= 0)
        bytes = FExeZip->ExtractEntryToString(Name);
    else if (!Name.empty() && fs::is_regular_file(PathFromUtf8(ResolvePagePath(Name))))
        bytes = ReadPictureFile(ResolvePagePath(Name));
    else if (!Name.empty())
        bytes = ReadPictureFile(Name);
    if (bytes.empty())
        return;
    TImageCollection& collection = *FBrowserExternalForm->MainMenuImageCollection;
    const int index = collection.Count();
    const std::string imageName = "MainMenuImg" + std::to_string(index);
    collection.Add(imageName, bytes); // raises for bytes that are no picture
    collection.Changed();
    Item.SetImageName(imageName);
    Item.SetImageIndex(index);
}

TMenuItem* TBrowserExternalModule::FindMenuItemByTag(TMenuItem* Root, std::int32_t Tag) {
    if (!Root)
        return nullptr;
    // Depth first without recursion: a menu may be deep.
    std::vector<TMenuItem*> pending{Root};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        if (item->Tag() == Tag)
            return item;
        for (int i = item->Count() - 1; i >= 0; --i)
            pending.push_back(item->Items(i));
    }
    return nullptr;
}

void TBrowserExternalModule::BuildMenuItem(const TJsonValue& Object, TMenuItem& Item) {
    if (!Object.IsObject())
        throw EBridgeError(ConversionErrorText(Object.ClassName(), ObjectTypeName));
    std::string caption, id, text;
    if (!ReadMenuText(Object, "caption", caption) || !ReadMenuText(Object, "id", id))
        throw EBridgeFailure("Wrong menu item JSON");
    Item.SetTag(MenuTag(id));
    Item.SetCaption(caption);
    if (ReadMenuText(Object, "enabled", text))
        Item.SetEnabled(MenuBoolean(text));
    if (ReadMenuText(Object, "image", text))
        LoadMenuImage(Item, text);
    const TJsonValue* items = Object.Find("items");
    if (!items) {
        Item.OnClick = [this](TObject* Sender) { MainMenuItemClick(Sender); };
        return;
    }
    if (!items->IsArray())
        throw EBridgeFailure("Wrong menu item JSON");
    for (const TJsonValue& element : items->Items()) {
        auto* child = new TMenuItem(FBrowserExternalForm->MainMenu);
        Item.Add(child);
        BuildMenuItem(element, *child);
    }
}

TBridgeResult TBrowserExternalModule::MainMenuSetItems(const TBridgeCall& Call) {
    const std::string text = ReadTextArg(Call.Data, "items");
    if (text.empty())
        return TBridgeResult::Error("Missing menu items");
    TMainMenu& menu = *FBrowserExternalForm->MainMenu;
    if (FMainForm)
        FMainForm->SetMenu(&menu);
    menu.Items()->Clear();
    FBrowserExternalForm->MainMenuImageCollection->Clear();
    FBrowserExternalForm->MainMenuImageCollection->Changed();
    TJsonValue items;
    try {
        items = TJsonValue::Parse(text);
    } catch (const EBridgeError&) {
    }
    if (!items.IsArray())
        return TBridgeResult::Error("Wrong menu items JSON");
    try {
        for (const TJsonValue& element : items.Items()) {
            auto* item = new TMenuItem(&menu);
            menu.Items()->Add(item);
            BuildMenuItem(element, *item);
        }
    } catch (const EBridgeFailure&) {
        // A menu is set whole or not at all.
        menu.Items()->Clear();
        throw;
    }
    return TBridgeResult::Boolean(true);
}

TBridgeResult TBrowserExternalModule::MainMenuUpdateItem(const TBridgeCall& Call) {
    const std::string idText = ReadTextArg(Call.Data, "id");
    if (idText.empty())
        return TBridgeResult::Error("Missing item ID");
    std::int32_t id = 0;
    if (!TryParseInt32(idText, id) || id == -1)
        return TBridgeResult::Error("Wrong item ID");
    TMenuItem* root = FBrowserExternalForm->MainMenu->Items();
    if (root->Count() == 0)
        return TBridgeResult::Error("No menu items");
    TMenuItem* found = nullptr;
    for (int i = 0; i < root->Count() && !found; ++i)
        found = FindMenuItemByTag(root->Items(i), id);
    if (found) {
        const std::string caption = ReadTextArg(Call.Data, "caption");
        const std::string enabled = ReadTextArg(Call.Data, "enabled");
        const std::string image = ReadTextArg(Call.Data, "image");
        if (!caption.empty())
            found->SetCaption(caption);
        if (!enabled.empty())
            found->SetEnabled(MenuBoolean(enabled));
        if (!image.empty())
            LoadMenuImage(*found, image);
    }
    return TBridgeResult::Boolean(true);
}

void TBrowserExternalModule::MainMenuItemClick(TObject* Sender) {
    const auto* item = dynamic_cast<TMenuItem*>(Sender);
    TEdgeBrowser* browser = Browser();
    if (item && browser)
        browser->ExecuteScript("qvx.events.onMainMenuItemClick(" + std::to_string(item->Tag()) + ");");
}

} // namespace Norvane::Shared
