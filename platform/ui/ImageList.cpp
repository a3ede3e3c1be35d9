#include "platform/ui/ImageList.h"

#include <algorithm>

namespace Norvane::Platform::Ui {

// Collection.

int TImageCollection::Add(const std::string& Name, const std::string& EncodedBytes) {
    return AddBitmap(Name, TBitmap::FromEncoded(EncodedBytes));
}

int TImageCollection::AddBitmap(const std::string& Name, const TBitmap& Picture) {
    FItems.push_back({Name, Picture});
    return Count() - 1;
}

void TImageCollection::Delete(int Index) {
    if (Index < 0 || Index >= Count())
        throw EUiError("Image index out of range");
    FItems.erase(FItems.begin() + Index);
}

void TImageCollection::Clear() {
    FItems.clear();
}

int TImageCollection::IndexOf(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i)
        if (FItems[static_cast<std::size_t>(i)].Name == Name)
            return i;
    return -1;
}

TBitmap TImageCollection::GetBitmap(int Index, int Width, int Height) const {
    return Source(Index).Scaled(Width, Height);
}

// Lists.

void TCustomImageList::SetSize(int AWidth, int AHeight) {
    FWidth = AWidth;
    FHeight = AHeight;
    Change();
}

int TCustomImageList::IndexOfName(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i)
        if (NameOf(i) == Name)
            return i;
    return -1;
}

std::string TImageList::NameOf(int Index) const {
    return FItems.at(static_cast<std::size_t>(Index)).first;
}

TBitmap TImageList::GetBitmap(int Index, bool Enabled) const {
    TBitmap picture = FItems.at(static_cast<std::size_t>(Index)).second.Scaled(Width(), Height());
    return Enabled ? picture : picture.Grayed();
}

int TImageList::Add(const TBitmap& Picture, const std::string& Name) {
    FItems.emplace_back(Name, Picture);
    Change();
    return Count() - 1;
}

int TImageList::AddEncoded(const std::string& EncodedBytes, const std::string& Name) {
    return Add(TBitmap::FromEncoded(EncodedBytes), Name);
}

void TImageList::Clear() {
    FItems.clear();
    Change();
}

TVirtualImageList::~TVirtualImageList() {
    if (auto notifier = FCollectionNotifier.lock())
        notifier->Remove(FCollectionLink);
}

void TVirtualImageList::SetImageCollection(TImageCollection* Value) {
    if (auto notifier = FCollectionNotifier.lock())
        notifier->Remove(FCollectionLink);
    FCollectionNotifier.reset();
    FCollection = Value;
    if (Value) {
        FCollectionNotifier = Value->Notifier();
        if (auto notifier = FCollectionNotifier.lock())
            FCollectionLink = notifier->Add([this] { UpdateImageList(); });
    }
    UpdateImageList();
}

void TVirtualImageList::SetAutoFill(bool Value) {
    FAutoFill = Value;
    UpdateImageList();
}

void TVirtualImageList::Add(const std::string& CollectionName) {
    FNames.push_back(CollectionName);
    Change();
}

void TVirtualImageList::Clear() {
    FNames.clear();
    Change();
}

void TVirtualImageList::UpdateImageList() {
    TImageCollection* collection = FCollectionNotifier.expired() ? nullptr : FCollection;
    if (FAutoFill) {
        FNames.clear();
        if (collection)
            for (int i = 0; i < collection->Count(); ++i) {
                const std::string& name = collection->NameOf(i);
                bool isDisabledVariant = !FDisabledSuffix.empty() && name.size() > FDisabledSuffix.size() &&
                                         name.compare(name.size() - FDisabledSuffix.size(),
                                                      FDisabledSuffix.size(), FDisabledSuffix) == 0;
                // The disabled variant of a picture is not an item of its own
                // unless the collection has no picture of the base name.
                if (isDisabledVariant &&
                    collection->IndexOf(name.substr(0, name.size() - FDisabledSuffix.size())) >= 0)
                    continue;
                FNames.push_back(name);
            }
    } else if (!FPreserveItems && collection) {
        // Items whose picture is gone are dropped.
        FNames.erase(std::remove_if(FNames.begin(), FNames.end(),
                                    [&](const std::string& n) { return collection->IndexOf(n) < 0; }),
                     FNames.end());
    }
    Change();
}

int TVirtualImageList::Count() const {
    return static_cast<int>(FNames.size());
}

std::string TVirtualImageList::NameOf(int Index) const {
    return FNames.at(static_cast<std::size_t>(Index));
}

TBitmap TVirtualImageList::GetBitmap(int Index, bool Enabled) const {
    TImageCollection* collection = FCollectionNotifier.expired() ? nullptr : FCollection;
    if (!collection || Index < 0 || Index >= Count())
        throw EUiError("Image index out of range");
    const std::string& name = FNames[static_cast<std::size_t>(Index)];
    if (!Enabled) {
        int disabled = FDisabledSuffix.empty() ? -1 : collection->IndexOf(name + FDisabledSuffix);
        if (disabled >= 0)
            return collection->GetBitmap(disabled, Width(), Height());
    }
    int source = collection->IndexOf(name);
    if (source < 0)
        throw EUiError("Image '" + name + "' not found");
    TBitmap picture = collection->GetBitmap(source, Width(), Height());
    return (!Enabled && FDisabledGrayscale) ? picture.Grayed() : picture;
}

} // namespace Norvane::Platform::Ui
