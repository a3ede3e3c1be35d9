// Images through the Windows Imaging Component (WIC).
#include "platform/Images.h"

#include "platform/win32/Win32Internal.h"

#include <objbase.h>
#include <wincodec.h>

#include <climits>

namespace Norvane::Platform {
namespace {

// Owns one reference of a COM interface.
template <typename T> class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (FPointer)
            FPointer->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** operator&() { return &FPointer; }
    T* operator->() const { return FPointer; }
    T* Get() const { return FPointer; }

private:
    T* FPointer = nullptr;
};

// COM for the calling thread, for as long as the object lives; a thread that
// already has its own apartment keeps it.
class ComScope {
public:
    ComScope() : FInitialized(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComScope() {
        if (FInitialized)
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool FInitialized;
};

bool Encode(IWICImagingFactory* factory, IWICBitmapSource* source, int size, std::string& png) {
    ComRef<IStream> output;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &output)))
        return false;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(output.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(size), static_cast<UINT>(size))) ||
        FAILED(frame->SetPixelFormat(&format)) || FAILED(frame->WriteSource(source, nullptr)) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return false;
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(output->Stat(&stat, STATFLAG_NONAME)) ||
        FAILED(::GetHGlobalFromStream(output.Get(), &memory)) || stat.cbSize.QuadPart == 0 ||
        stat.cbSize.QuadPart > ::GlobalSize(memory))
        return false;
    const void* bytes = ::GlobalLock(memory);
    if (!bytes)
        return false;
    png.assign(static_cast<const char*>(bytes), static_cast<std::size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return true;
}

} // namespace

// The first image of the file (an .ico's first), converted to straight BGRA,
// scaled with the Fant filter and written as a PNG.
bool ImageToPng(const std::string& Encoded, int Size, std::string& Png) {
    if (Size < 1 || Size > 1024 || Encoded.empty() || Encoded.size() > UINT_MAX)
        return false;
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        return false;
    ComRef<IWICStream> input;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    ComRef<IWICBitmapScaler> scaler;
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(Encoded.data()));
    if (FAILED(factory->CreateStream(&input)) ||
        FAILED(input->InitializeFromMemory(bytes, static_cast<DWORD>(Encoded.size()))) ||
        FAILED(factory->CreateDecoderFromStream(input.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)) ||
        FAILED(factory->CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(converter.Get(), static_cast<UINT>(Size), static_cast<UINT>(Size),
                                  WICBitmapInterpolationModeFant)))
        return false;
    return Encode(factory.Get(), scaler.Get(), Size, Png);
}

} // namespace Norvane::Platform
