// Colours from the system (or the active style) and pictures through the
// Windows Imaging Component; the GDI helpers of the Win32 layer.
#include "platform/ui/Graphics.h"
#include "platform/ui/GraphicsParts.h"
#include "platform/win32/ui/Win32Graphics.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace Norvane::Platform::Ui {

using Platform::Win32::Widen;

namespace Win32Ui {

ComApartment::ComApartment() {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    FInitialized = SUCCEEDED(hr);
    // A thread already in the multithreaded apartment can still use COM.
    FUsable = FInitialized || hr == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
    if (FInitialized)
        ::CoUninitialize();
}

DibSection::DibSection(int Width, int Height) : FWidth(std::max(Width, 1)), FHeight(std::max(Height, 1)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = FWidth;
    info.bmiHeader.biHeight = -FHeight; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FDc = ::CreateCompatibleDC(nullptr);
    FBitmap = ::CreateDIBSection(FDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!FDc || !FBitmap || !bits) {
        if (FBitmap)
            ::DeleteObject(FBitmap);
        if (FDc)
            ::DeleteDC(FDc);
        throw EUiError("Cannot create a drawing surface");
    }
    FBits = static_cast<std::uint32_t*>(bits);
    FOldBitmap = ::SelectObject(FDc, FBitmap);
}

DibSection::~DibSection() {
    ::SelectObject(FDc, FOldBitmap);
    ::DeleteObject(FBitmap);
    ::DeleteDC(FDc);
}

void DibSection::Clear(std::uint32_t Value) {
    ::GdiFlush();
    std::fill(FBits, FBits + static_cast<std::size_t>(FWidth) * FHeight, Value);
}

HFONT CreateMessageFont(bool Bold, int PixelHeight) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font = metrics.lfMessageFont;
    } else {
        font.lfHeight = -12;
        font.lfCharSet = DEFAULT_CHARSET;
        std::wcsncpy(font.lfFaceName, L"Tahoma", LF_FACESIZE - 1);
    }
    if (PixelHeight > 0)
        font.lfHeight = -PixelHeight;
    if (Bold)
        font.lfWeight = FW_BOLD;
    font.lfQuality = ANTIALIASED_QUALITY;
    HFONT result = ::CreateFontIndirectW(&font);
    return result ? result : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

SIZE MeasureText(HFONT Font, const std::string& Text, int WrapWidth) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, Font);
    std::wstring text = Widen(Text);
    RECT r{0, 0, WrapWidth > 0 ? WrapWidth : 0, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (WrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    ::DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, flags);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return SIZE{text.empty() ? 0 : r.right - r.left, r.bottom - r.top};
}

TBitmap IconToBitmap(HICON Icon, int Size) {
    TBitmap result(Size, Size);
    if (!Icon || Size <= 0)
        return result;
    DibSection onBlack(Size, Size), onWhite(Size, Size);
    onBlack.Clear(0x000000);
    onWhite.Clear(0xFFFFFF);
    ::DrawIconEx(onBlack.Dc(), 0, 0, Icon, Size, Size, 0, nullptr, DI_NORMAL);
    ::DrawIconEx(onWhite.Dc(), 0, 0, Icon, Size, Size, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            const std::uint32_t b = onBlack.Row(y)[x], w = onWhite.Row(y)[x];
            // On black a pixel shows c*a, on white c*a + (1 - a): the difference gives a.
            const int diff = static_cast<int>((w >> 8) & 0xFF) - static_cast<int>((b >> 8) & 0xFF);
            const int a = std::clamp(255 - diff, 0, 255);
            std::uint8_t* p = result.Pixel(x, y);
            auto straight = [a](std::uint32_t c) {
                return static_cast<std::uint8_t>(a ? std::min(255, static_cast<int>(c) * 255 / a) : 0);
            };
            p[0] = straight((b >> 16) & 0xFF);
            p[1] = straight((b >> 8) & 0xFF);
            p[2] = straight(b & 0xFF);
            p[3] = static_cast<std::uint8_t>(a);
        }
    return result;
}

} // namespace Win32Ui

namespace {

using Win32Ui::ComRef;

// Pictures larger than this are refused rather than decoded.
constexpr UINT MaxSide = 16384;
constexpr unsigned long long MaxPixels = 1ull << 26;

ComRef<IWICImagingFactory> NewFactory() {
    ComRef<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        throw EUiError("The imaging component is not available");
    return factory;
}

// Straight B, G, R, A rows of the source into a bitmap.
TBitmap ReadPixels(IWICBitmapSource* Source) {
    UINT w = 0, h = 0;
    if (FAILED(Source->GetSize(&w, &h)) || w == 0 || h == 0 || w > MaxSide || h > MaxSide ||
        static_cast<unsigned long long>(w) * h > MaxPixels)
        throw EUiError("The picture has no usable size");
    TBitmap result(static_cast<int>(w), static_cast<int>(h));
    auto& pixels = result.Pixels();
    if (FAILED(Source->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data())))
        throw EUiError("Cannot read the picture's pixels");
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4)
        std::swap(pixels[i], pixels[i + 2]);
    return result;
}

// The bitmap as a WIC bitmap of straight B, G, R, A pixels.
ComRef<IWICBitmap> ToWicBitmap(IWICImagingFactory* Factory, const TBitmap& Bitmap) {
    std::vector<std::uint8_t> bgra = Bitmap.Pixels();
    for (std::size_t i = 0; i + 3 < bgra.size(); i += 4)
        std::swap(bgra[i], bgra[i + 2]);
    ComRef<IWICBitmap> result;
    const UINT stride = static_cast<UINT>(Bitmap.Width()) * 4;
    if (FAILED(Factory->CreateBitmapFromMemory(
            static_cast<UINT>(Bitmap.Width()), static_cast<UINT>(Bitmap.Height()),
            GUID_WICPixelFormat32bppBGRA, stride, static_cast<UINT>(bgra.size()), bgra.data(), &result)))
        throw EUiError("Cannot hand the picture to the imaging component");
    return result;
}

} // namespace

TRgb GraphicsParts::NativeSystemColor(unsigned Index) {
    return PlainColorToRgb(static_cast<TColor>(::GetSysColor(static_cast<int>(Index))) & 0xFFFFFF);
}

TBitmap TBitmap::FromEncoded(const std::string& Bytes) {
    if (Bytes.empty() || Bytes.size() > UINT_MAX / 2)
        throw EUiError("Cannot decode the picture: no usable bytes");
    Win32Ui::ComApartment com;
    auto factory = NewFactory();
    ComRef<IWICStream> input;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(Bytes.data()));
    if (FAILED(factory->CreateStream(&input)) ||
        FAILED(input->InitializeFromMemory(bytes, static_cast<DWORD>(Bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(input.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        throw EUiError("Cannot decode the picture");
    return ReadPixels(converter.Get());
}

std::string TBitmap::EncodePng() const {
    if (Empty())
        throw EUiError("Cannot encode an empty picture");
    Win32Ui::ComApartment com;
    auto factory = NewFactory();
    auto source = ToWicBitmap(factory.Get(), *this);
    ComRef<IStream> output;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &output)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(output.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(FWidth), static_cast<UINT>(FHeight))) ||
        FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA ||
        FAILED(frame->WriteSource(source.Get(), nullptr)) || FAILED(frame->Commit()) ||
        FAILED(encoder->Commit()))
        throw EUiError("Cannot encode the picture as PNG");
    STATSTG stat{};
    HGLOBAL memory = nullptr;
    if (FAILED(output->Stat(&stat, STATFLAG_NONAME)) ||
        FAILED(::GetHGlobalFromStream(output.Get(), &memory)) || stat.cbSize.QuadPart == 0 ||
        stat.cbSize.QuadPart > ::GlobalSize(memory))
        throw EUiError("Cannot encode the picture as PNG");
    const void* bytes = ::GlobalLock(memory);
    if (!bytes)
        throw EUiError("Cannot encode the picture as PNG");
    std::string result(static_cast<const char*>(bytes), static_cast<std::size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(memory);
    return result;
}

TBitmap TBitmap::Scaled(int AWidth, int AHeight) const {
    if (Empty() || (AWidth == FWidth && AHeight == FHeight))
        return *this;
    if (AWidth <= 0 || AHeight <= 0 || static_cast<UINT>(AWidth) > MaxSide ||
        static_cast<UINT>(AHeight) > MaxSide)
        throw EUiError("Invalid bitmap size");
    Win32Ui::ComApartment com;
    auto factory = NewFactory();
    auto source = ToWicBitmap(factory.Get(), *this);
    ComRef<IWICBitmapScaler> scaler;
    if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
        FAILED(scaler->Initialize(source.Get(), static_cast<UINT>(AWidth), static_cast<UINT>(AHeight),
                                  WICBitmapInterpolationModeFant)))
        throw EUiError("Cannot scale the picture");
    return ReadPixels(scaler.Get());
}

} // namespace Norvane::Platform::Ui
