// Header-only helpers for code on either side of the engine boundary:
// TComPtr (an owning interface reference), TComObject (reference counting and
// QueryInterface for a class implementing interfaces), Callback (a handler
// object made from a lambda) and two streams, one over memory and one over a
// file. Only the C++ standard library is used.
#pragma once

#include "webview2/WebView2Base.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace Norvane::WebView2 {

// An owning reference: copying adds a reference, destruction releases one.
template <class T> class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    // Takes a reference of its own on Ptr.
    explicit TComPtr(T* Ptr) : FPtr(Ptr) {
        if (FPtr)
            FPtr->AddRef();
    }
    TComPtr(const TComPtr& Other) : TComPtr(Other.FPtr) {}
    TComPtr(TComPtr&& Other) noexcept : FPtr(std::exchange(Other.FPtr, nullptr)) {}
    ~TComPtr() { Reset(); }
    TComPtr& operator=(const TComPtr& Other) {
        if (this != &Other) {
            T* Old = std::exchange(FPtr, Other.FPtr);
            if (FPtr)
                FPtr->AddRef();
            if (Old)
                Old->Release();
        }
        return *this;
    }
    TComPtr& operator=(TComPtr&& Other) noexcept {
        if (this != &Other) {
            Reset();
            FPtr = std::exchange(Other.FPtr, nullptr);
        }
        return *this;
    }
    TComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns (no AddRef).
    static TComPtr Attach(T* Ptr) {
        TComPtr Result;
        Result.FPtr = Ptr;
        return Result;
    }
    // Gives up the reference without releasing it.
    T* Detach() { return std::exchange(FPtr, nullptr); }
    void Reset() {
        if (T* Old = std::exchange(FPtr, nullptr))
            Old->Release();
    }
    // Releases the current reference and returns the slot for an out parameter.
    T** Put() {
        Reset();
        return &FPtr;
    }
    T* Get() const { return FPtr; }
    T* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }

    // QueryInterface into another reference.
    template <class U> HRESULT As(TComPtr<U>& Result) const {
        if (!FPtr)
            return E_POINTER;
        return FPtr->QueryInterface(U::Iid, reinterpret_cast<void**>(Result.Put()));
    }
    // Hands out one more reference (for out parameters).
    HRESULT CopyTo(T** Result) const {
        if (!Result)
            return E_POINTER;
        *Result = FPtr;
        if (FPtr)
            FPtr->AddRef();
        return S_OK;
    }

private:
    T* FPtr = nullptr;
};

// Implements IUnknown for a class that implements Interfaces. The object
// starts with one reference and deletes itself when the last one goes.
template <class First, class... Rest> class TComObject : public First, public Rest... {
public:
    TComObject() = default;
    TComObject(const TComObject&) = delete;
    TComObject& operator=(const TComObject&) = delete;
    virtual ~TComObject() = default;

    HRESULT NV_STDCALL QueryInterface(const IID& Riid, void** Object) override {
        if (!Object)
            return E_POINTER;
        *Object = nullptr;
        if (Riid == IUnknown::Iid)
            *Object = static_cast<IUnknown*>(static_cast<First*>(this));
        else
            Find<First, Rest...>(Riid, Object);
        if (!*Object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG NV_STDCALL AddRef() override { return ++FRefCount; }
    ULONG NV_STDCALL Release() override {
        const ULONG Count = --FRefCount;
        if (Count == 0)
            delete this;
        return Count;
    }

private:
    template <class I, class... More> void Find(const IID& Riid, void** Object) {
        if (Riid == I::Iid) {
            *Object = static_cast<I*>(this);
            return;
        }
        if constexpr (sizeof...(More) > 0)
            Find<More...>(Riid, Object);
    }

    std::atomic<ULONG> FRefCount{1};
};

// Makes an object of a TComObject class and owns its first reference.
template <class T, class... Args> TComPtr<T> MakeComObject(Args&&... Arguments) {
    return TComPtr<T>::Attach(new T(std::forward<Args>(Arguments)...));
}

namespace Detail {
template <class Handler, class Func, class Method> class TComCallback;
template <class Handler, class Func, class... Args>
class TComCallback<Handler, Func, HRESULT (NV_STDCALL Handler::*)(Args...)> final
    : public TComObject<Handler> {
public:
    explicit TComCallback(Func Function) : FFunction(std::move(Function)) {}
    HRESULT NV_STDCALL Invoke(Args... Arguments) override { return FFunction(Arguments...); }

private:
    Func FFunction;
};
} // namespace Detail

// A handler object of interface Handler whose Invoke calls Function with the
// same parameters: Callback<ICoreWebView2ExecuteScriptCompletedHandler>(
//     [](HRESULT Code, const char* Json) { ...; return S_OK; }).
template <class Handler, class Func> TComPtr<Handler> Callback(Func&& Function) {
    using TImpl = Detail::TComCallback<Handler, std::decay_t<Func>, decltype(&Handler::Invoke)>;
    return TComPtr<Handler>::Attach(new TImpl(std::forward<Func>(Function)));
}

// A stream over bytes in memory that it owns.
class TComMemoryStream final : public TComObject<IStream> {
public:
    TComMemoryStream() = default;
    explicit TComMemoryStream(std::vector<std::uint8_t> Bytes) : FBytes(std::move(Bytes)) {}
    explicit TComMemoryStream(const std::string& Text) : FBytes(Text.begin(), Text.end()) {}

    const std::vector<std::uint8_t>& Bytes() const { return FBytes; }
    std::string Text() const { return std::string(FBytes.begin(), FBytes.end()); }
    UINT64 Position() const { return FPosition; }

    HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) override {
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        const UINT64 Left = FPosition < FBytes.size() ? FBytes.size() - FPosition : 0;
        const ULONG Done = static_cast<ULONG>(Left < Count ? Left : Count);
        if (Done > 0)
            std::memcpy(Buffer, FBytes.data() + FPosition, Done);
        FPosition += Done;
        if (ReadCount)
            *ReadCount = Done;
        return Done < Count ? S_FALSE : S_OK;
    }
    HRESULT NV_STDCALL Write(const void* Buffer, ULONG Count, ULONG* WrittenCount) override {
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        if (FPosition + Count > FBytes.size())
            FBytes.resize(static_cast<std::size_t>(FPosition + Count));
        if (Count > 0)
            std::memcpy(FBytes.data() + FPosition, Buffer, Count);
        FPosition += Count;
        if (WrittenCount)
            *WrittenCount = Count;
        return S_OK;
    }
    HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) override {
        INT64 Base = 0;
        if (Origin == STREAM_SEEK_CUR)
            Base = static_cast<INT64>(FPosition);
        else if (Origin == STREAM_SEEK_END)
            Base = static_cast<INT64>(FBytes.size());
        else if (Origin != STREAM_SEEK_SET)
            return STG_E_INVALIDFUNCTION;
        if (Base + Move < 0)
            return STG_E_INVALIDFUNCTION;
        FPosition = static_cast<UINT64>(Base + Move);
        if (NewPosition)
            *NewPosition = FPosition;
        return S_OK;
    }
    HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t) override {
        if (!Stats)
            return STG_E_INVALIDPOINTER;
        *Stats = STATSTG{FBytes.size(), STGTY_STREAM, STGM_READWRITE};
        return S_OK;
    }

private:
    std::vector<std::uint8_t> FBytes;
    UINT64 FPosition = 0;
};

// A stream over a file. Open with STGM_CREATE | STGM_READWRITE creates or
// truncates; STGM_READ opens an existing file for reading.
class TComFileStream final : public TComObject<IStream> {
public:
    static HRESULT Open(const std::string& FileName, std::uint32_t Mode, IStream** Result) {
        if (!Result)
            return E_POINTER;
        *Result = nullptr;
        std::ios::openmode OpenMode = std::ios::binary | std::ios::in;
        if (Mode & (STGM_WRITE | STGM_READWRITE))
            OpenMode |= std::ios::out;
        if (Mode & STGM_CREATE)
            OpenMode |= std::ios::trunc | std::ios::out;
        auto* Stream = new TComFileStream(Mode);
        Stream->FFile.open(FileName, OpenMode);
        if (!Stream->FFile.is_open()) {
            Stream->Release();
            return (Mode & STGM_CREATE) ? STG_E_ACCESSDENIED : HRESULT_ERROR_FILE_NOT_FOUND;
        }
        *Result = Stream;
        return S_OK;
    }

    HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) override {
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        FFile.clear();
        FFile.seekg(static_cast<std::streamoff>(FPosition));
        FFile.read(static_cast<char*>(Buffer), Count);
        const auto Done = static_cast<ULONG>(FFile.gcount());
        FPosition += Done;
        if (ReadCount)
            *ReadCount = Done;
        if (FFile.bad())
            return STG_E_READFAULT;
        return Done < Count ? S_FALSE : S_OK;
    }
    HRESULT NV_STDCALL Write(const void* Buffer, ULONG Count, ULONG* WrittenCount) override {
        if (!Buffer && Count > 0)
            return STG_E_INVALIDPOINTER;
        if (!(FMode & (STGM_WRITE | STGM_READWRITE)))
            return STG_E_ACCESSDENIED;
        FFile.clear();
        FFile.seekp(static_cast<std::streamoff>(FPosition));
        FFile.write(static_cast<const char*>(Buffer), Count);
        FFile.flush();
        if (!FFile)
            return STG_E_WRITEFAULT;
        FPosition += Count;
        if (WrittenCount)
            *WrittenCount = Count;
        return S_OK;
    }
    HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) override {
        INT64 Base = 0;
        if (Origin == STREAM_SEEK_CUR)
            Base = static_cast<INT64>(FPosition);
        else if (Origin == STREAM_SEEK_END)
            Base = static_cast<INT64>(Size());
        else if (Origin != STREAM_SEEK_SET)
            return STG_E_INVALIDFUNCTION;
        if (Base + Move < 0)
            return STG_E_INVALIDFUNCTION;
        FPosition = static_cast<UINT64>(Base + Move);
        if (NewPosition)
            *NewPosition = FPosition;
        return S_OK;
    }
    HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t) override {
        if (!Stats)
            return STG_E_INVALIDPOINTER;
        *Stats = STATSTG{Size(), STGTY_STREAM, FMode};
        return S_OK;
    }

private:
    explicit TComFileStream(std::uint32_t Mode) : FMode(Mode) {}
    UINT64 Size() {
        FFile.clear();
        FFile.seekg(0, std::ios::end);
        const auto End = FFile.tellg();
        return End < 0 ? 0 : static_cast<UINT64>(End);
    }

    std::fstream FFile;
    std::uint32_t FMode;
    UINT64 FPosition = 0;
};

} // namespace Norvane::WebView2
