// Base types of the browser-engine boundary: result codes, interface ids, the
// reference-counted root interface, the stream interface and the enumerations
// shared by the engine interfaces. Everything here is a C type, so that an
// engine library built today keeps working with a runtime built later.
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
using ULONG = std::uint32_t;

inline constexpr BOOL TRUE_VALUE = 1;
inline constexpr BOOL FALSE_VALUE = 0;

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
// HRESULT_FROM_WIN32(ERROR_INVALID_STATE): the object was closed.
inline constexpr HRESULT HRESULT_ERROR_INVALID_STATE = static_cast<HRESULT>(0x8007139Fu);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND).
inline constexpr HRESULT HRESULT_ERROR_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);
// Stream errors.
inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);
inline constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
inline constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009u);
inline constexpr HRESULT STG_E_SEEKERROR = static_cast<HRESULT>(0x80030019u);
inline constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
inline constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);

inline constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
inline constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}
inline constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t Code) {
    return Code == 0 ? S_OK : static_cast<HRESULT>((Code & 0x0000FFFFu) | 0x80070000u);
}

// Interface identifier, laid out like a GUID.
struct IID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

inline constexpr bool operator==(const IID& A, const IID& B) {
    if (A.Data1 != B.Data1 || A.Data2 != B.Data2 || A.Data3 != B.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (A.Data4[i] != B.Data4[i])
            return false;
    return true;
}

// Token of one handler registration (add_X gives it, remove_X takes it back).
struct EventRegistrationToken {
    INT64 value;
};

// Rectangle in pixels of the parent window: Left/Top inclusive, Right/Bottom exclusive.
struct RECT {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Root of every interface: reference counting and interface lookup. An object
// starts with one reference, owned by whoever received it. QueryInterface
// answers E_NOINTERFACE (and a null *Object) for an interface the object does
// not have, so later versions can add interfaces without breaking old callers.
class IUnknown {
public:
    static constexpr IID Iid = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT NV_STDCALL QueryInterface(const IID& Riid, void** Object) = 0;
    virtual ULONG NV_STDCALL AddRef() = 0;
    virtual ULONG NV_STDCALL Release() = 0;

protected:
    ~IUnknown() = default;
};

// Seek origins of IStream::Seek.
enum STREAM_SEEK : std::uint32_t { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

// Open modes of a file stream (the values of the storage modes).
inline constexpr std::uint32_t STGM_READ = 0x00000000u;
inline constexpr std::uint32_t STGM_WRITE = 0x00000001u;
inline constexpr std::uint32_t STGM_READWRITE = 0x00000002u;
inline constexpr std::uint32_t STGM_CREATE = 0x00001000u;

// What IStream::Stat reports.
struct STATSTG {
    UINT64 cbSize; // length of the stream in bytes
    UINT32 type;   // STGTY_STREAM
    UINT32 grfMode;
};
inline constexpr UINT32 STGTY_STREAM = 2;

// A byte stream: the content of a web resource response, the target of a
// page capture. Read answers S_FALSE when fewer bytes than asked were left.
class IStream : public IUnknown {
public:
    static constexpr IID Iid = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT NV_STDCALL Read(void* Buffer, ULONG Count, ULONG* ReadCount) = 0;
    virtual HRESULT NV_STDCALL Write(const void* Buffer, ULONG Count, ULONG* WrittenCount) = 0;
    virtual HRESULT NV_STDCALL Seek(INT64 Move, std::uint32_t Origin, UINT64* NewPosition) = 0;
    virtual HRESULT NV_STDCALL Stat(STATSTG* Stats, std::uint32_t StatFlags) = 0;

protected:
    ~IStream() = default;
};

// ---- enumerations (32-bit values) ----

enum COREWEBVIEW2_MOVE_FOCUS_REASON : std::int32_t {
    COREWEBVIEW2_MOVE_FOCUS_REASON_PROGRAMMATIC = 0,
    COREWEBVIEW2_MOVE_FOCUS_REASON_NEXT = 1,
    COREWEBVIEW2_MOVE_FOCUS_REASON_PREVIOUS = 2,
};

enum COREWEBVIEW2_KEY_EVENT_KIND : std::int32_t {
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN = 0,
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP = 1,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN = 2,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP = 3,
};

struct COREWEBVIEW2_PHYSICAL_KEY_STATUS {
    UINT32 RepeatCount;
    UINT32 ScanCode;
    BOOL IsExtendedKey;
    BOOL IsMenuKeyDown;
    BOOL WasKeyDown;
    BOOL IsKeyReleased;
};

enum COREWEBVIEW2_WEB_ERROR_STATUS : std::int32_t {
    COREWEBVIEW2_WEB_ERROR_STATUS_UNKNOWN = 0,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_COMMON_NAME_IS_INCORRECT = 1,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_EXPIRED = 2,
    COREWEBVIEW2_WEB_ERROR_STATUS_CLIENT_CERTIFICATE_CONTAINS_ERRORS = 3,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_REVOKED = 4,
    COREWEBVIEW2_WEB_ERROR_STATUS_CERTIFICATE_IS_INVALID = 5,
    COREWEBVIEW2_WEB_ERROR_STATUS_SERVER_UNREACHABLE = 6,
    COREWEBVIEW2_WEB_ERROR_STATUS_TIMEOUT = 7,
    COREWEBVIEW2_WEB_ERROR_STATUS_ERROR_HTTP_INVALID_SERVER_RESPONSE = 8,
    COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_ABORTED = 9,
    COREWEBVIEW2_WEB_ERROR_STATUS_CONNECTION_RESET = 10,
    COREWEBVIEW2_WEB_ERROR_STATUS_DISCONNECTED = 11,
    COREWEBVIEW2_WEB_ERROR_STATUS_CANNOT_CONNECT = 12,
    COREWEBVIEW2_WEB_ERROR_STATUS_HOST_NAME_NOT_RESOLVED = 13,
    COREWEBVIEW2_WEB_ERROR_STATUS_OPERATION_CANCELED = 14,
    COREWEBVIEW2_WEB_ERROR_STATUS_REDIRECT_FAILED = 15,
    COREWEBVIEW2_WEB_ERROR_STATUS_UNEXPECTED_ERROR = 16,
};

enum COREWEBVIEW2_PERMISSION_KIND : std::int32_t {
    COREWEBVIEW2_PERMISSION_KIND_UNKNOWN_PERMISSION = 0,
    COREWEBVIEW2_PERMISSION_KIND_MICROPHONE = 1,
    COREWEBVIEW2_PERMISSION_KIND_CAMERA = 2,
    COREWEBVIEW2_PERMISSION_KIND_GEOLOCATION = 3,
    COREWEBVIEW2_PERMISSION_KIND_NOTIFICATIONS = 4,
    COREWEBVIEW2_PERMISSION_KIND_OTHER_SENSORS = 5,
    COREWEBVIEW2_PERMISSION_KIND_CLIPBOARD_READ = 6,
};

enum COREWEBVIEW2_PERMISSION_STATE : std::int32_t {
    COREWEBVIEW2_PERMISSION_STATE_DEFAULT = 0,
    COREWEBVIEW2_PERMISSION_STATE_ALLOW = 1,
    COREWEBVIEW2_PERMISSION_STATE_DENY = 2,
};

enum COREWEBVIEW2_PROCESS_FAILED_KIND : std::int32_t {
    COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED = 0,
    COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_EXITED = 1,
    COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE = 2,
};

enum COREWEBVIEW2_SCRIPT_DIALOG_KIND : std::int32_t {
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_ALERT = 0,
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_CONFIRM = 1,
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_PROMPT = 2,
    COREWEBVIEW2_SCRIPT_DIALOG_KIND_BEFOREUNLOAD = 3,
};

enum COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT : std::int32_t {
    COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_PNG = 0,
    COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT_JPEG = 1,
};

enum COREWEBVIEW2_WEB_RESOURCE_CONTEXT : std::int32_t {
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL = 0,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT = 1,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET = 2,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE = 3,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA = 4,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT = 5,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT = 6,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST = 7,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH = 8,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_TEXT_TRACK = 9,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_EVENT_SOURCE = 10,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_WEBSOCKET = 11,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MANIFEST = 12,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SIGNED_EXCHANGE = 13,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_PING = 14,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_CSP_VIOLATION_REPORT = 15,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER = 16,
};

} // namespace Norvane::WebView2
