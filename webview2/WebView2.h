// The browser-engine boundary: a binary interface in the shape of the WebView2
// COM interfaces. The engine is a shared library loaded at run time from the
// payload; it exports the loader entries below by name. Everything that crosses
// this boundary is a C type: integers, BOOL-like values and UTF-8 C strings.
// Texts returned by the engine are allocated by it and freed with its exported
// CoTaskMemFree.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define NV_STDCALL __stdcall
#define NV_EXPORT extern "C" __declspec(dllexport)
#else
#define NV_STDCALL
#define NV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace Norvane::WebView2 {

using HRESULT = std::int32_t;
using BOOL = std::int32_t;
using UINT32 = std::uint32_t;
using UINT64 = std::uint64_t;
using INT64 = std::int64_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

class ICoreWebView2Environment;
class ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;

} // namespace Norvane::WebView2

// Loader entries, looked up by these names.
extern "C" {
// Starts creating the browser environment; calls Handler->Invoke once, on the
// user-interface thread, with a result code and the environment.
typedef Norvane::WebView2::HRESULT(NV_STDCALL* PFN_CreateCoreWebView2Environment)(
    Norvane::WebView2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler);
// Version text of the installed engine; BrowserExecutableFolder may be null.
// *VersionInfo receives a text to free with CoTaskMemFree, or null.
typedef Norvane::WebView2::HRESULT(NV_STDCALL* PFN_GetCoreWebView2BrowserVersionString)(
    const char* BrowserExecutableFolder, char** VersionInfo);
typedef Norvane::WebView2::HRESULT(NV_STDCALL* PFN_GetAvailableCoreWebView2BrowserVersionString)(
    const char* BrowserExecutableFolder, char** VersionInfo);
// Frees a text or block the engine returned.
typedef void(NV_STDCALL* PFN_CoTaskMemFree)(void* Block);
}

namespace Norvane::WebView2 {
inline constexpr const char* CreateEnvironmentEntry = "CreateCoreWebView2Environment";
inline constexpr const char* BrowserVersionEntry = "GetCoreWebView2BrowserVersionString";
inline constexpr const char* AvailableBrowserVersionEntry = "GetAvailableCoreWebView2BrowserVersionString";
inline constexpr const char* MemFreeEntry = "CoTaskMemFree";
} // namespace Norvane::WebView2
