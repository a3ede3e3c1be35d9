// Basic types of the user-interface framework: the object and component
// model, event types, alignment, shift state and cursors.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace Norvane::Platform::Ui {

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Failure of the framework itself (no display, a native call that failed).
class EUiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A component owns the components created with it as owner and frees them,
// in reverse order of creation, when it is freed.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const { return FComponents.at(static_cast<std::size_t>(Index)); }

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value) { FName = Value; }
    std::int64_t Tag() const { return FTag; }
    void SetTag(std::int64_t Value) { FTag = Value; }

private:
    void InsertComponent(TComponent* Component);
    void RemoveComponent(TComponent* Component);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::string FName;
    std::int64_t FTag = 0;
};

// Listeners of a changing object. The object holds it by shared pointer; a user
// keeps a weak pointer and its id, so that either side may go first.
class TChangeNotifier {
public:
    int Add(std::function<void()> Listener) {
        FListeners.emplace_back(++FLast, std::move(Listener));
        return FLast;
    }
    void Remove(int Id) {
        for (auto it = FListeners.begin(); it != FListeners.end(); ++it)
            if (it->first == Id) {
                FListeners.erase(it);
                return;
            }
    }
    void Notify() {
        auto copy = FListeners;
        for (auto& [id, listener] : copy)
            listener();
    }

private:
    std::vector<std::pair<int, std::function<void()>>> FListeners;
    int FLast = 0;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Modifier keys and mouse buttons held, as a set of bits.
enum TShiftStateBit : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
};
using TShiftState = unsigned;

using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;

enum class TCursor { crDefault, crArrow, crAppStart, crHourGlass, crIBeam, crHandPoint, crCross, crNo };

} // namespace Norvane::Platform::Ui
