// Image collections and image lists: named source pictures decoded from PNG,
// JPEG, BMP, GIF, ICO or TIFF bytes, and lists that render them at a fixed size
// (16 x 16 by default) with a grey version for disabled items.
#pragma once

#include "platform/ui/Graphics.h"
#include "platform/ui/Types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui {

class TImageCollection : public TComponent {
public:
    explicit TImageCollection(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

    int Count() const { return static_cast<int>(FItems.size()); }
    // Decodes the bytes and adds the picture under Name; raises EUiError when
    // the bytes are no readable picture. Returns the new index.
    int Add(const std::string& Name, const std::string& EncodedBytes);
    int AddBitmap(const std::string& Name, const TBitmap& Picture);
    void Delete(int Index);
    void Clear();
    int IndexOf(const std::string& Name) const;
    const std::string& NameOf(int Index) const { return FItems.at(static_cast<std::size_t>(Index)).Name; }
    const TBitmap& Source(int Index) const { return FItems.at(static_cast<std::size_t>(Index)).Picture; }
    // The picture at the given size (scaled smoothly, cached).
    TBitmap GetBitmap(int Index, int Width, int Height) const;

    // Tells the lists that follow this collection that it changed.
    void Changed() { FNotifier->Notify(); }
    std::weak_ptr<TChangeNotifier> Notifier() const { return FNotifier; }

private:
    struct TItem {
        std::string Name;
        TBitmap Picture;
    };
    std::vector<TItem> FItems;
    std::shared_ptr<TChangeNotifier> FNotifier = std::make_shared<TChangeNotifier>();
};

// An image list: pictures of one size, addressed by index (and by name).
class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetSize(int AWidth, int AHeight);
    virtual int Count() const = 0;
    virtual std::string NameOf(int Index) const = 0;
    int IndexOfName(const std::string& Name) const;
    // The picture at the list's size; Enabled false gives the grey version.
    virtual TBitmap GetBitmap(int Index, bool Enabled = true) const = 0;

    // Tells the users (menus) that the list changed.
    void Change() { FNotifier->Notify(); }
    std::weak_ptr<TChangeNotifier> Notifier() const { return FNotifier; }

private:
    int FWidth = 16;
    int FHeight = 16;
    std::shared_ptr<TChangeNotifier> FNotifier = std::make_shared<TChangeNotifier>();
};

// Pictures added directly to the list.
class TImageList : public TCustomImageList {
public:
    explicit TImageList(TComponent* AOwner = nullptr) : TCustomImageList(AOwner) {}
    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string NameOf(int Index) const override;
    TBitmap GetBitmap(int Index, bool Enabled = true) const override;
    int Add(const TBitmap& Picture, const std::string& Name = {});
    int AddEncoded(const std::string& EncodedBytes, const std::string& Name = {});
    void Clear();

private:
    std::vector<std::pair<std::string, TBitmap>> FItems;
};

// A list that renders the pictures of an image collection at its own size.
// With AutoFill it holds every picture of the collection, in its order. A
// disabled picture is the collection's picture named Name + DisabledSuffix when
// there is one, else (with DisabledGrayscale) the grey version.
class TVirtualImageList : public TCustomImageList {
public:
    explicit TVirtualImageList(TComponent* AOwner = nullptr) : TCustomImageList(AOwner) {}
    ~TVirtualImageList() override;
    TImageCollection* ImageCollection() const { return FCollection; }
    void SetImageCollection(TImageCollection* Value);
    bool AutoFill() const { return FAutoFill; }
    void SetAutoFill(bool Value);
    bool DisabledGrayscale() const { return FDisabledGrayscale; }
    void SetDisabledGrayscale(bool Value) { FDisabledGrayscale = Value; }
    const std::string& DisabledSuffix() const { return FDisabledSuffix; }
    void SetDisabledSuffix(const std::string& Value) { FDisabledSuffix = Value; }
    bool PreserveItems() const { return FPreserveItems; }
    void SetPreserveItems(bool Value) { FPreserveItems = Value; }
    // Without AutoFill: the names of the collection's pictures to take.
    void Add(const std::string& CollectionName);
    void Clear();

    int Count() const override;
    std::string NameOf(int Index) const override;
    TBitmap GetBitmap(int Index, bool Enabled = true) const override;
    // Takes the collection's current content (called when it changed).
    void UpdateImageList();

private:
    TImageCollection* FCollection = nullptr;
    std::weak_ptr<TChangeNotifier> FCollectionNotifier;
    int FCollectionLink = 0;
    bool FAutoFill = false;
    bool FDisabledGrayscale = true;
    bool FPreserveItems = false;
    std::string FDisabledSuffix = "_Disabled";
    std::vector<std::string> FNames;
};

} // namespace Norvane::Platform::Ui
