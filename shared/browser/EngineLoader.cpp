#include "shared/browser/EngineLoader.h"

#include "platform/Process.h"

#include <cfenv>
#include <mutex>

namespace Norvane::Shared {

using namespace Norvane::WebView2;

std::string WebView2LoaderPath;

namespace {

// The loader library: loaded on first use, unloaded at module finalization.
class TLoaderModule {
public:
    TLoaderModule() {
        // Every floating-point exception of this thread gives its default
        // result instead of trapping, the engine's code included. The
        // standard <cfenv> does it: feholdexcept clears the flags and installs
        // the non-stop mode (with glibc on x86 it masks all six exceptions of
        // both units, the denormal operand included); the saved environment is
        // deliberately never restored.
        std::fenv_t previous;
        std::feholdexcept(&previous);
#if defined(__i386__) || defined(__x86_64__)
        // MinGW's feholdexcept leaves the SSE unit alone: its control register
        // gets the same, all six masks set and the flags cleared.
        unsigned control = 0;
        __asm__ volatile("stmxcsr %0" : "=m"(control));
        control = (control | 0x1F80u) & ~0x3Fu;
        __asm__ volatile("ldmxcsr %0" : : "m"(control));
#endif
    }
    ~TLoaderModule() {
        std::lock_guard guard(FLock);
        if (FHandle)
            Platform::FreeLibrary(FHandle);
        FHandle = nullptr;
        FCreateEnvironment = nullptr;
        FBrowserVersion = nullptr;
        FMemFree = nullptr;
        WebView2LoaderPath.clear();
    }
    TLoaderModule(const TLoaderModule&) = delete;
    TLoaderModule& operator=(const TLoaderModule&) = delete;

    // Loads the library now unless it is loaded; false when it cannot be used.
    bool Load() {
        std::lock_guard guard(FLock);
        return LoadLocked();
    }

    // With MayLoad false a library not loaded yet is not loaded here: the
    // caller is a worker thread and the load was tried on the UI thread.
    HRESULT CreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler,
                              bool MayLoad) {
        PFN_CreateCoreWebView2Environment entry = nullptr;
        {
            std::lock_guard guard(FLock);
            if (!(MayLoad ? LoadLocked() : FHandle != nullptr))
                return E_FAIL;
            entry = FCreateEnvironment;
        }
        return entry(Handler);
    }

    HRESULT BrowserVersion(char** Text) {
        PFN_GetCoreWebView2BrowserVersionString entry = nullptr;
        {
            std::lock_guard guard(FLock);
            if (!LoadLocked())
                return E_FAIL;
            entry = FBrowserVersion;
        }
        return entry(nullptr, Text);
    }

    // Frees a text the engine returned.
    void Free(char* Text) {
        if (!Text)
            return;
        PFN_CoTaskMemFree entry = nullptr;
        {
            std::lock_guard guard(FLock);
            entry = FMemFree;
        }
        if (entry)
            entry(Text);
    }

private:
    // A library that loads but lacks one of the entries is treated like one
    // that cannot be loaded: it is unloaded again and the next call retries.
    bool LoadLocked() {
        if (FHandle)
            return true;
        Platform::LibraryHandle handle = Platform::LoadLibrary(WebView2LoaderPath);
        if (!handle)
            return false;
        auto create = reinterpret_cast<PFN_CreateCoreWebView2Environment>(
            Platform::GetProcAddress(handle, CreateEnvironmentEntry));
        auto version = reinterpret_cast<PFN_GetCoreWebView2BrowserVersionString>(
            Platform::GetProcAddress(handle, BrowserVersionEntry));
        auto memFree = reinterpret_cast<PFN_CoTaskMemFree>(Platform::GetProcAddress(handle, MemFreeEntry));
        if (!create || !version || !memFree) {
            Platform::FreeLibrary(handle);
            return false;
        }
        FHandle = handle;
        FCreateEnvironment = create;
        FBrowserVersion = version;
        FMemFree = memFree;
        return true;
    }

    std::mutex FLock;
    Platform::LibraryHandle FHandle = nullptr;
    PFN_CreateCoreWebView2Environment FCreateEnvironment = nullptr;
    PFN_GetCoreWebView2BrowserVersionString FBrowserVersion = nullptr;
    PFN_CoTaskMemFree FMemFree = nullptr;
};

// Defined after WebView2LoaderPath, so it is finalized before it.
TLoaderModule LoaderModule;

} // namespace

namespace EngineLoader {

bool Load() {
    return LoaderModule.Load();
}

HRESULT CreateEnvironment(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* Handler, bool MayLoad) {
    return LoaderModule.CreateEnvironment(Handler, MayLoad);
}

HRESULT BrowserVersion(char** Text) {
    return LoaderModule.BrowserVersion(Text);
}

void Free(char* Text) {
    LoaderModule.Free(Text);
}

} // namespace EngineLoader

} // namespace Norvane::Shared
