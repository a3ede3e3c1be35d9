// The engine interfaces: environment, controller, view, settings, event
// arguments, handlers and the DevTools receiver, named as in WebView2. Texts
// are UTF-8: a `const char*` parameter is borrowed for the call; a `char**`
// result is a copy allocated by the engine that the caller frees with the
// engine's CoTaskMemFree. Interface results (`X**`) carry one reference that
// the caller releases. Booleans are BOOL: zero is false, any other value true.
// The method order of each class is part of the binary interface: a later
// version only appends, or adds a new interface reached through QueryInterface.
#pragma once

#include "webview2/WebView2Base.h"

namespace Norvane::WebView2 {

class ICoreWebView2;
class ICoreWebView2Controller;
class ICoreWebView2Environment;
class ICoreWebView2Settings;
class ICoreWebView2WebResourceResponse;
class ICoreWebView2DevToolsProtocolEventReceiver;

#define NV_INTERFACE_ID(D1, D2, D3, A, B, C, D, E, F, G, H)                                                  \
    static constexpr IID Iid = {D1, D2, D3, {A, B, C, D, E, F, G, H}}

// ---------------------------------------------------------------------------
// Completion handlers (each called once, on the user-interface thread)
// ---------------------------------------------------------------------------

class ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : public IUnknown {
public:
    NV_INTERFACE_ID(0x99d3e96f, 0x12dd, 0x4e5c, 0xaa, 0xc6, 0xcc, 0xe5, 0x5e, 0xc9, 0x44, 0xe9);
    virtual HRESULT NV_STDCALL Invoke(HRESULT ErrorCode, ICoreWebView2Environment* Result) = 0;

protected:
    ~ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler() = default;
};

class ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : public IUnknown {
public:
    NV_INTERFACE_ID(0x87d30bcb, 0x9c84, 0x4a40, 0xbe, 0x22, 0x92, 0x65, 0x10, 0xf8, 0x1e, 0x44);
    virtual HRESULT NV_STDCALL Invoke(HRESULT ErrorCode, ICoreWebView2Controller* Result) = 0;

protected:
    ~ICoreWebView2CreateCoreWebView2ControllerCompletedHandler() = default;
};

// ResultObjectAsJson is the script's value as JSON ("null" for undefined).
class ICoreWebView2ExecuteScriptCompletedHandler : public IUnknown {
public:
    NV_INTERFACE_ID(0x4ebd0dcf, 0x4daf, 0x4a14, 0x8a, 0xcf, 0x7a, 0xf8, 0x18, 0x8e, 0x50, 0xc2);
    virtual HRESULT NV_STDCALL Invoke(HRESULT ErrorCode, const char* ResultObjectAsJson) = 0;

protected:
    ~ICoreWebView2ExecuteScriptCompletedHandler() = default;
};

// Id is the text to give RemoveScriptToExecuteOnDocumentCreated.
class ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler : public IUnknown {
public:
    NV_INTERFACE_ID(0x948a54a1, 0x7ea9, 0x40fd, 0x8a, 0xc5, 0xc2, 0x0d, 0xc5, 0x21, 0x0c, 0x79);
    virtual HRESULT NV_STDCALL Invoke(HRESULT ErrorCode, const char* Id) = 0;

protected:
    ~ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler() = default;
};

class ICoreWebView2CapturePreviewCompletedHandler : public IUnknown {
public:
    NV_INTERFACE_ID(0x8d7a4c7f, 0x2365, 0x4cdf, 0x87, 0x21, 0x73, 0xe8, 0x11, 0xbf, 0x6c, 0x57);
    virtual HRESULT NV_STDCALL Invoke(HRESULT ErrorCode) = 0;

protected:
    ~ICoreWebView2CapturePreviewCompletedHandler() = default;
};

class ICoreWebView2CallDevToolsProtocolMethodCompletedHandler : public IUnknown {
public:
    NV_INTERFACE_ID(0xa521c24b, 0xe6d4, 0x4cbb, 0x98, 0x63, 0xc6, 0x74, 0x10, 0xcc, 0x2a, 0x3b);
    virtual HRESULT NV_STDCALL Invoke(HRESULT ErrorCode, const char* ReturnObjectAsJson) = 0;

protected:
    ~ICoreWebView2CallDevToolsProtocolMethodCompletedHandler() = default;
};

// ---------------------------------------------------------------------------
// Deferral: lets a handler answer after it returned. Complete once.
// ---------------------------------------------------------------------------

class ICoreWebView2Deferral : public IUnknown {
public:
    NV_INTERFACE_ID(0xd5efe5ce, 0xf1b4, 0x441d, 0xbe, 0x40, 0x89, 0x1f, 0xbc, 0xde, 0x86, 0x49);
    virtual HRESULT NV_STDCALL Complete() = 0;

protected:
    ~ICoreWebView2Deferral() = default;
};

// ---------------------------------------------------------------------------
// Web resources. Headers are one text: "Name: value" lines joined by "\r\n".
// ---------------------------------------------------------------------------

class ICoreWebView2WebResourceRequest : public IUnknown {
public:
    NV_INTERFACE_ID(0x639a0dab, 0x6182, 0x45da, 0x83, 0x35, 0xd8, 0xa8, 0xe2, 0x1a, 0x39, 0x1c);
    virtual HRESULT NV_STDCALL get_Uri(char** Uri) = 0;
    virtual HRESULT NV_STDCALL put_Uri(const char* Uri) = 0;
    virtual HRESULT NV_STDCALL get_Method(char** Method) = 0;
    virtual HRESULT NV_STDCALL put_Method(const char* Method) = 0;
    // Request body, or null when the request has none.
    virtual HRESULT NV_STDCALL get_Content(IStream** Content) = 0;
    virtual HRESULT NV_STDCALL put_Content(IStream* Content) = 0;
    virtual HRESULT NV_STDCALL get_Headers(char** Headers) = 0;

protected:
    ~ICoreWebView2WebResourceRequest() = default;
};

class ICoreWebView2WebResourceResponse : public IUnknown {
public:
    NV_INTERFACE_ID(0xa0ec6c57, 0xa16b, 0x4401, 0xb5, 0x8c, 0x46, 0xb2, 0xdb, 0x49, 0xc1, 0x58);
    virtual HRESULT NV_STDCALL get_Content(IStream** Content) = 0;
    virtual HRESULT NV_STDCALL put_Content(IStream* Content) = 0;
    virtual HRESULT NV_STDCALL get_Headers(char** Headers) = 0;
    // Adds one header line; Name and Value without the separator.
    virtual HRESULT NV_STDCALL AppendHeader(const char* Name, const char* Value) = 0;
    virtual HRESULT NV_STDCALL get_StatusCode(std::int32_t* StatusCode) = 0;
    virtual HRESULT NV_STDCALL put_StatusCode(std::int32_t StatusCode) = 0;
    virtual HRESULT NV_STDCALL get_ReasonPhrase(char** ReasonPhrase) = 0;
    virtual HRESULT NV_STDCALL put_ReasonPhrase(const char* ReasonPhrase) = 0;

protected:
    ~ICoreWebView2WebResourceResponse() = default;
};

// ---------------------------------------------------------------------------
// Event arguments
// ---------------------------------------------------------------------------

class ICoreWebView2NavigationStartingEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0xf9098b33, 0x83d1, 0x4635, 0xb8, 0x92, 0xe5, 0x70, 0x0d, 0xaf, 0x91, 0x22);
    virtual HRESULT NV_STDCALL get_Uri(char** Uri) = 0;
    virtual HRESULT NV_STDCALL get_IsUserInitiated(BOOL* IsUserInitiated) = 0;
    virtual HRESULT NV_STDCALL get_IsRedirected(BOOL* IsRedirected) = 0;
    virtual HRESULT NV_STDCALL get_RequestHeaders(char** Headers) = 0;
    virtual HRESULT NV_STDCALL get_Cancel(BOOL* Cancel) = 0;
    virtual HRESULT NV_STDCALL put_Cancel(BOOL Cancel) = 0;
    virtual HRESULT NV_STDCALL get_NavigationId(UINT64* NavigationId) = 0;

protected:
    ~ICoreWebView2NavigationStartingEventArgs() = default;
};

class ICoreWebView2ContentLoadingEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0xf9beaf1e, 0xa76a, 0x47c9, 0xae, 0x6c, 0x60, 0x80, 0xf6, 0x66, 0x23, 0x26);
    virtual HRESULT NV_STDCALL get_IsErrorPage(BOOL* IsErrorPage) = 0;
    virtual HRESULT NV_STDCALL get_NavigationId(UINT64* NavigationId) = 0;

protected:
    ~ICoreWebView2ContentLoadingEventArgs() = default;
};

class ICoreWebView2SourceChangedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x10e46f31, 0xeef3, 0x4a7f, 0x8a, 0x30, 0xc4, 0x53, 0xa2, 0x4a, 0xb5, 0xc1);
    virtual HRESULT NV_STDCALL get_IsNewDocument(BOOL* IsNewDocument) = 0;

protected:
    ~ICoreWebView2SourceChangedEventArgs() = default;
};

class ICoreWebView2NavigationCompletedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x2894ffce, 0x291f, 0x489d, 0xb2, 0x04, 0x59, 0x74, 0x70, 0x0e, 0xa3, 0xd3);
    virtual HRESULT NV_STDCALL get_IsSuccess(BOOL* IsSuccess) = 0;
    virtual HRESULT NV_STDCALL get_WebErrorStatus(COREWEBVIEW2_WEB_ERROR_STATUS* WebErrorStatus) = 0;
    virtual HRESULT NV_STDCALL get_NavigationId(UINT64* NavigationId) = 0;

protected:
    ~ICoreWebView2NavigationCompletedEventArgs() = default;
};

class ICoreWebView2ScriptDialogOpeningEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x9317ee6b, 0x0156, 0x4052, 0x92, 0x12, 0xa7, 0xe7, 0x8c, 0x8b, 0x1b, 0x3b);
    virtual HRESULT NV_STDCALL get_Uri(char** Uri) = 0;
    virtual HRESULT NV_STDCALL get_Kind(COREWEBVIEW2_SCRIPT_DIALOG_KIND* Kind) = 0;
    virtual HRESULT NV_STDCALL get_Message(char** Message) = 0;
    // Answers OK (confirm, prompt, before-unload); without it the dialog is cancelled.
    virtual HRESULT NV_STDCALL Accept() = 0;
    virtual HRESULT NV_STDCALL get_DefaultText(char** DefaultText) = 0;
    virtual HRESULT NV_STDCALL get_ResultText(char** ResultText) = 0;
    virtual HRESULT NV_STDCALL put_ResultText(const char* ResultText) = 0;
    virtual HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) = 0;

protected:
    ~ICoreWebView2ScriptDialogOpeningEventArgs() = default;
};

class ICoreWebView2PermissionRequestedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x048cd711, 0xa5e4, 0x4873, 0xae, 0xa5, 0x8f, 0xba, 0xe5, 0xe5, 0x0e, 0x78);
    virtual HRESULT NV_STDCALL get_Uri(char** Uri) = 0;
    virtual HRESULT NV_STDCALL get_PermissionKind(COREWEBVIEW2_PERMISSION_KIND* PermissionKind) = 0;
    virtual HRESULT NV_STDCALL get_IsUserInitiated(BOOL* IsUserInitiated) = 0;
    virtual HRESULT NV_STDCALL get_State(COREWEBVIEW2_PERMISSION_STATE* State) = 0;
    // DEFAULT leaves the decision to the engine (which refuses).
    virtual HRESULT NV_STDCALL put_State(COREWEBVIEW2_PERMISSION_STATE State) = 0;
    virtual HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) = 0;

protected:
    ~ICoreWebView2PermissionRequestedEventArgs() = default;
};

class ICoreWebView2ProcessFailedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0xcf6d8d47, 0x5628, 0x4cd8, 0xa0, 0xa5, 0x7d, 0x78, 0xac, 0x68, 0x37, 0x8f);
    virtual HRESULT NV_STDCALL get_ProcessFailedKind(COREWEBVIEW2_PROCESS_FAILED_KIND* ProcessFailedKind) = 0;

protected:
    ~ICoreWebView2ProcessFailedEventArgs() = default;
};

class ICoreWebView2WebMessageReceivedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x742c58bc, 0xe955, 0x44c8, 0x9f, 0x5e, 0xfc, 0x8f, 0x7f, 0x9e, 0x82, 0x08);
    // Address of the document that posted the message.
    virtual HRESULT NV_STDCALL get_Source(char** Source) = 0;
    virtual HRESULT NV_STDCALL get_WebMessageAsJson(char** WebMessageAsJson) = 0;
    // The message when it is a string; E_INVALIDARG (and null) for any other value.
    virtual HRESULT NV_STDCALL TryGetWebMessageAsString(char** WebMessageAsString) = 0;

protected:
    ~ICoreWebView2WebMessageReceivedEventArgs() = default;
};

class ICoreWebView2NewWindowRequestedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0xf2eef670, 0x9b82, 0x43b9, 0x87, 0x57, 0xd8, 0x26, 0x7f, 0x01, 0x06, 0xd5);
    virtual HRESULT NV_STDCALL get_Uri(char** Uri) = 0;
    // A view of this engine to load the address in instead of a pop-up window.
    virtual HRESULT NV_STDCALL put_NewWindow(ICoreWebView2* NewWindow) = 0;
    virtual HRESULT NV_STDCALL get_NewWindow(ICoreWebView2** NewWindow) = 0;
    // TRUE: no window opens and the page's window.open gets null.
    virtual HRESULT NV_STDCALL put_Handled(BOOL Handled) = 0;
    virtual HRESULT NV_STDCALL get_Handled(BOOL* Handled) = 0;
    virtual HRESULT NV_STDCALL get_IsUserInitiated(BOOL* IsUserInitiated) = 0;
    virtual HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) = 0;

protected:
    ~ICoreWebView2NewWindowRequestedEventArgs() = default;
};

class ICoreWebView2WebResourceRequestedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0xaf6fc1e5, 0xefbb, 0x4269, 0x82, 0x34, 0x03, 0xce, 0x56, 0xce, 0x60, 0x30);
    virtual HRESULT NV_STDCALL get_Request(ICoreWebView2WebResourceRequest** Request) = 0;
    // Null until a handler sets one.
    virtual HRESULT NV_STDCALL get_Response(ICoreWebView2WebResourceResponse** Response) = 0;
    virtual HRESULT NV_STDCALL put_Response(ICoreWebView2WebResourceResponse* Response) = 0;
    virtual HRESULT NV_STDCALL GetDeferral(ICoreWebView2Deferral** Deferral) = 0;
    virtual HRESULT NV_STDCALL get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* Context) = 0;

protected:
    ~ICoreWebView2WebResourceRequestedEventArgs() = default;
};

class ICoreWebView2MoveFocusRequestedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x4ca5d5fc, 0xcf79, 0x4df3, 0xa1, 0xbf, 0xf5, 0xac, 0x50, 0xb8, 0x26, 0xc9);
    virtual HRESULT NV_STDCALL get_Reason(COREWEBVIEW2_MOVE_FOCUS_REASON* Reason) = 0;
    virtual HRESULT NV_STDCALL get_Handled(BOOL* Handled) = 0;
    virtual HRESULT NV_STDCALL put_Handled(BOOL Handled) = 0;

protected:
    ~ICoreWebView2MoveFocusRequestedEventArgs() = default;
};

// A key press or release inside the view, in Windows terms: the kind of key
// message, the virtual-key code and the key data (lParam: bits 0-15 repeat
// count, 16-23 scan code, 24 extended key, 29 Alt held, 30 key was down
// before, 31 released; this engine also sets bit 25 for Ctrl held, 26 for
// Shift held and 27 to say that bits 25 and 26 are valid).
class ICoreWebView2AcceleratorKeyPressedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0xdd7a69c4, 0x69a4, 0x4f10, 0xb2, 0xc7, 0x78, 0x13, 0x13, 0xa1, 0x3a, 0xf2);
    virtual HRESULT NV_STDCALL get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* KeyEventKind) = 0;
    virtual HRESULT NV_STDCALL get_VirtualKey(UINT32* VirtualKey) = 0;
    virtual HRESULT NV_STDCALL get_KeyEventLParam(std::int32_t* LParam) = 0;
    virtual HRESULT NV_STDCALL get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* PhysicalKeyStatus) = 0;
    virtual HRESULT NV_STDCALL get_Handled(BOOL* Handled) = 0;
    // TRUE: the key does not reach the page.
    virtual HRESULT NV_STDCALL put_Handled(BOOL Handled) = 0;

protected:
    ~ICoreWebView2AcceleratorKeyPressedEventArgs() = default;
};

class ICoreWebView2DevToolsProtocolEventReceivedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x37af1f68, 0x249e, 0x4f84, 0x9f, 0x0e, 0xf0, 0x79, 0x8c, 0x99, 0xb8, 0xe8);
    virtual HRESULT NV_STDCALL get_ParameterObjectAsJson(char** ParameterObjectAsJson) = 0;

protected:
    ~ICoreWebView2DevToolsProtocolEventReceivedEventArgs() = default;
};

// The local files of one drop on a view, in the order of the drop.
class ICoreWebView2FilesDroppedEventArgs : public IUnknown {
public:
    NV_INTERFACE_ID(0x5b0e7c1d, 0x2f64, 0x4c3a, 0x9e, 0x21, 0x7d, 0x48, 0xa3, 0x0b, 0x6c, 0x95);
    virtual HRESULT NV_STDCALL get_Count(UINT32* Count) = 0;
    // E_INVALIDARG (and null) past the last path.
    virtual HRESULT NV_STDCALL GetPathAtIndex(UINT32 Index, char** Path) = 0;

protected:
    ~ICoreWebView2FilesDroppedEventArgs() = default;
};

// ---------------------------------------------------------------------------
// Event handlers. Notifications without arguments of their own pass a null
// IUnknown* Args.
// ---------------------------------------------------------------------------

#define NV_VIEW_EVENT_HANDLER(Name, ArgsType, D1, D2, D3, A, B, C, D, E, F, G, H)                            \
    class Name : public IUnknown {                                                                           \
    public:                                                                                                  \
        NV_INTERFACE_ID(D1, D2, D3, A, B, C, D, E, F, G, H);                                                 \
        virtual HRESULT NV_STDCALL Invoke(ICoreWebView2* Sender, ArgsType* Args) = 0;                        \
                                                                                                             \
    protected:                                                                                               \
        ~Name() = default;                                                                                   \
    }

#define NV_CONTROLLER_EVENT_HANDLER(Name, ArgsType, D1, D2, D3, A, B, C, D, E, F, G, H)                      \
    class Name : public IUnknown {                                                                           \
    public:                                                                                                  \
        NV_INTERFACE_ID(D1, D2, D3, A, B, C, D, E, F, G, H);                                                 \
        virtual HRESULT NV_STDCALL Invoke(ICoreWebView2Controller* Sender, ArgsType* Args) = 0;              \
                                                                                                             \
    protected:                                                                                               \
        ~Name() = default;                                                                                   \
    }

// Used for NavigationStarting and FrameNavigationStarting alike.
NV_VIEW_EVENT_HANDLER(ICoreWebView2NavigationStartingEventHandler, ICoreWebView2NavigationStartingEventArgs,
                      0x8e2761e3, 0x3d3b, 0x4571, 0xa3, 0x9b, 0x67, 0x7b, 0x81, 0xd2, 0x04, 0x2f);
NV_VIEW_EVENT_HANDLER(ICoreWebView2ContentLoadingEventHandler, ICoreWebView2ContentLoadingEventArgs,
                      0x6eada577, 0x1d20, 0x4e87, 0x96, 0xac, 0x1e, 0xa6, 0x95, 0x31, 0xd8, 0x1a);
NV_VIEW_EVENT_HANDLER(ICoreWebView2SourceChangedEventHandler, ICoreWebView2SourceChangedEventArgs, 0xc9771404,
                      0xfdf1, 0x42f6, 0x9f, 0x00, 0xbd, 0x66, 0x0b, 0xba, 0x4b, 0x50);
NV_VIEW_EVENT_HANDLER(ICoreWebView2HistoryChangedEventHandler, IUnknown, 0x84019a62, 0x5adf, 0x46dc, 0xb1,
                      0x66, 0xd9, 0x66, 0x07, 0x9c, 0x3e, 0x30);
// Used for NavigationCompleted and FrameNavigationCompleted alike.
NV_VIEW_EVENT_HANDLER(ICoreWebView2NavigationCompletedEventHandler, ICoreWebView2NavigationCompletedEventArgs,
                      0x23076457, 0x08e1, 0x4676, 0x87, 0xc7, 0x77, 0x00, 0x37, 0xe3, 0xda, 0x1f);
NV_VIEW_EVENT_HANDLER(ICoreWebView2ScriptDialogOpeningEventHandler, ICoreWebView2ScriptDialogOpeningEventArgs,
                      0xe180d2ec, 0x7648, 0x412d, 0xa6, 0x22, 0xe8, 0x3d, 0x8f, 0xdf, 0x5e, 0x45);
NV_VIEW_EVENT_HANDLER(ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2PermissionRequestedEventArgs,
                      0xd7570ef9, 0x3b0f, 0x4974, 0xa3, 0xd6, 0xc0, 0x5e, 0x44, 0xdd, 0xfa, 0x36);
NV_VIEW_EVENT_HANDLER(ICoreWebView2ProcessFailedEventHandler, ICoreWebView2ProcessFailedEventArgs, 0xeafc43f8,
                      0x848c, 0x498a, 0x82, 0xfb, 0xc4, 0xdc, 0x4e, 0x33, 0x9c, 0x75);
NV_VIEW_EVENT_HANDLER(ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2WebMessageReceivedEventArgs,
                      0x2a885a6b, 0xc826, 0x4274, 0x94, 0xae, 0x01, 0x49, 0xff, 0xf3, 0x00, 0x31);
NV_VIEW_EVENT_HANDLER(ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2NewWindowRequestedEventArgs,
                      0x341a140d, 0xbf81, 0x4a2e, 0x85, 0xc5, 0x93, 0x0c, 0xa8, 0x73, 0x38, 0xda);
NV_VIEW_EVENT_HANDLER(ICoreWebView2DocumentTitleChangedEventHandler, IUnknown, 0x2c9ea16b, 0xa929, 0x4080,
                      0x9b, 0x1d, 0xa3, 0x72, 0x3b, 0x98, 0x3e, 0x6f);
NV_VIEW_EVENT_HANDLER(ICoreWebView2ContainsFullScreenElementChangedEventHandler, IUnknown, 0xd2cf62b0, 0xd5cc,
                      0x4d64, 0x96, 0x5f, 0xf4, 0xe9, 0xf9, 0x23, 0xdd, 0x20);
NV_VIEW_EVENT_HANDLER(ICoreWebView2WebResourceRequestedEventHandler,
                      ICoreWebView2WebResourceRequestedEventArgs, 0xcbb615a4, 0x3cb9, 0x465b, 0x8d, 0x27,
                      0xce, 0x92, 0xbf, 0x7c, 0xa7, 0x4e);
NV_VIEW_EVENT_HANDLER(ICoreWebView2WindowCloseRequestedEventHandler, IUnknown, 0x3abffe86, 0x9b7e, 0x4d64,
                      0xb9, 0xbe, 0x55, 0x68, 0x6b, 0x2d, 0x78, 0xb4);
NV_VIEW_EVENT_HANDLER(ICoreWebView2DevToolsProtocolEventReceivedEventHandler,
                      ICoreWebView2DevToolsProtocolEventReceivedEventArgs, 0xe7574fb8, 0xe7e9, 0x497c, 0x96,
                      0xe5, 0x41, 0x0d, 0x87, 0x9c, 0x12, 0x48);
NV_VIEW_EVENT_HANDLER(ICoreWebView2FilesDroppedEventHandler, ICoreWebView2FilesDroppedEventArgs, 0x0c7d3a52,
                      0x8e19, 0x4b6f, 0xa4, 0x3d, 0x1f, 0x92, 0x6e, 0x57, 0xb0, 0x28);

NV_CONTROLLER_EVENT_HANDLER(ICoreWebView2ZoomFactorChangedEventHandler, IUnknown, 0x86dc4496, 0x8a53, 0x41a7,
                            0xad, 0x39, 0x92, 0x89, 0x98, 0x17, 0x44, 0xd0);
NV_CONTROLLER_EVENT_HANDLER(ICoreWebView2MoveFocusRequestedEventHandler,
                            ICoreWebView2MoveFocusRequestedEventArgs, 0x8a3d5f3b, 0xa596, 0x4be1, 0xb8, 0xe0,
                            0xbc, 0x96, 0xbe, 0x3c, 0xf2, 0xfe);
// Used for GotFocus and LostFocus alike.
NV_CONTROLLER_EVENT_HANDLER(ICoreWebView2FocusChangedEventHandler, IUnknown, 0x5a3e2d43, 0x6866, 0x4bb9, 0x97,
                            0x47, 0x0f, 0xb4, 0xf8, 0x7f, 0x0e, 0x7a);
NV_CONTROLLER_EVENT_HANDLER(ICoreWebView2AcceleratorKeyPressedEventHandler,
                            ICoreWebView2AcceleratorKeyPressedEventArgs, 0x308f7600, 0x8a36, 0x4b8c, 0xbf,
                            0xca, 0x2e, 0x6c, 0x8f, 0x3b, 0xb7, 0x72);

#undef NV_VIEW_EVENT_HANDLER
#undef NV_CONTROLLER_EVENT_HANDLER

// ---------------------------------------------------------------------------
// DevTools protocol event receiver
// ---------------------------------------------------------------------------

class ICoreWebView2DevToolsProtocolEventReceiver : public IUnknown {
public:
    NV_INTERFACE_ID(0x1a3e8fc2, 0x42ed, 0x4d7f, 0x84, 0x10, 0xbc, 0x6c, 0x8a, 0x94, 0x5b, 0xec);
    virtual HRESULT NV_STDCALL add_DevToolsProtocolEventReceived(
        ICoreWebView2DevToolsProtocolEventReceivedEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_DevToolsProtocolEventReceived(EventRegistrationToken Token) = 0;

protected:
    ~ICoreWebView2DevToolsProtocolEventReceiver() = default;
};

// ---------------------------------------------------------------------------
// Settings of one view. Changes apply at once.
// ---------------------------------------------------------------------------

class ICoreWebView2Settings : public IUnknown {
public:
    NV_INTERFACE_ID(0x05785c32, 0xc43e, 0x457f, 0xa7, 0xaf, 0xd7, 0x30, 0x54, 0xb3, 0x2b, 0x48);
    // The page's own scripts; ExecuteScript and document scripts run regardless.
    virtual HRESULT NV_STDCALL get_IsScriptEnabled(BOOL* IsScriptEnabled) = 0;
    virtual HRESULT NV_STDCALL put_IsScriptEnabled(BOOL IsScriptEnabled) = 0;
    virtual HRESULT NV_STDCALL get_IsWebMessageEnabled(BOOL* IsWebMessageEnabled) = 0;
    virtual HRESULT NV_STDCALL put_IsWebMessageEnabled(BOOL IsWebMessageEnabled) = 0;
    // FALSE: alert/confirm/prompt raise ScriptDialogOpening instead of showing a dialog.
    virtual HRESULT NV_STDCALL get_AreDefaultScriptDialogsEnabled(BOOL* AreDefaultScriptDialogsEnabled) = 0;
    virtual HRESULT NV_STDCALL put_AreDefaultScriptDialogsEnabled(BOOL AreDefaultScriptDialogsEnabled) = 0;
    virtual HRESULT NV_STDCALL get_IsStatusBarEnabled(BOOL* IsStatusBarEnabled) = 0;
    virtual HRESULT NV_STDCALL put_IsStatusBarEnabled(BOOL IsStatusBarEnabled) = 0;
    virtual HRESULT NV_STDCALL get_AreDevToolsEnabled(BOOL* AreDevToolsEnabled) = 0;
    virtual HRESULT NV_STDCALL put_AreDevToolsEnabled(BOOL AreDevToolsEnabled) = 0;
    virtual HRESULT NV_STDCALL get_AreDefaultContextMenusEnabled(BOOL* Enabled) = 0;
    virtual HRESULT NV_STDCALL put_AreDefaultContextMenusEnabled(BOOL Enabled) = 0;
    // Ctrl+wheel, Ctrl+Plus, Ctrl+Minus and Ctrl+0 zoom the page.
    virtual HRESULT NV_STDCALL get_IsZoomControlEnabled(BOOL* Enabled) = 0;
    virtual HRESULT NV_STDCALL put_IsZoomControlEnabled(BOOL Enabled) = 0;
    virtual HRESULT NV_STDCALL get_IsBuiltInErrorPageEnabled(BOOL* Enabled) = 0;
    virtual HRESULT NV_STDCALL put_IsBuiltInErrorPageEnabled(BOOL Enabled) = 0;

protected:
    ~ICoreWebView2Settings() = default;
};

// ---------------------------------------------------------------------------
// The view: navigation, scripts, messages, resources, capture and the sixteen
// view notifications.
// ---------------------------------------------------------------------------

class ICoreWebView2 : public IUnknown {
public:
    NV_INTERFACE_ID(0x37562eb2, 0x4df4, 0x465d, 0x94, 0xc9, 0x4c, 0x98, 0x96, 0x34, 0x09, 0x39);
    virtual HRESULT NV_STDCALL get_Settings(ICoreWebView2Settings** Settings) = 0;
    // The current address; "about:blank" before the first navigation.
    virtual HRESULT NV_STDCALL get_Source(char** Uri) = 0;
    virtual HRESULT NV_STDCALL Navigate(const char* Uri) = 0;
    virtual HRESULT NV_STDCALL NavigateToString(const char* HtmlContent) = 0;
    virtual HRESULT NV_STDCALL add_NavigationStarting(ICoreWebView2NavigationStartingEventHandler* Handler,
                                                      EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_NavigationStarting(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_ContentLoading(ICoreWebView2ContentLoadingEventHandler* Handler,
                                                  EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_ContentLoading(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_SourceChanged(ICoreWebView2SourceChangedEventHandler* Handler,
                                                 EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_SourceChanged(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_HistoryChanged(ICoreWebView2HistoryChangedEventHandler* Handler,
                                                  EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_HistoryChanged(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* Handler,
                                                       EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_NavigationCompleted(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_FrameNavigationStarting(
        ICoreWebView2NavigationStartingEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_FrameNavigationStarting(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_FrameNavigationCompleted(
        ICoreWebView2NavigationCompletedEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_FrameNavigationCompleted(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_ScriptDialogOpening(ICoreWebView2ScriptDialogOpeningEventHandler* Handler,
                                                       EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_ScriptDialogOpening(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_PermissionRequested(ICoreWebView2PermissionRequestedEventHandler* Handler,
                                                       EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_PermissionRequested(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_ProcessFailed(ICoreWebView2ProcessFailedEventHandler* Handler,
                                                 EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_ProcessFailed(EventRegistrationToken Token) = 0;
    // Runs JavaScript at the start of every later document, in every frame,
    // before the document's own scripts. Handler may be null.
    virtual HRESULT NV_STDCALL AddScriptToExecuteOnDocumentCreated(
        const char* JavaScript,
        ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* Handler) = 0;
    virtual HRESULT NV_STDCALL RemoveScriptToExecuteOnDocumentCreated(const char* Id) = 0;
    // Runs JavaScript in the top document; Handler may be null.
    virtual HRESULT NV_STDCALL ExecuteScript(const char* JavaScript,
                                             ICoreWebView2ExecuteScriptCompletedHandler* Handler) = 0;
    // Writes an image of the visible page into ImageStream at its position.
    virtual HRESULT NV_STDCALL CapturePreview(COREWEBVIEW2_CAPTURE_PREVIEW_IMAGE_FORMAT ImageFormat,
                                              IStream* ImageStream,
                                              ICoreWebView2CapturePreviewCompletedHandler* Handler) = 0;
    virtual HRESULT NV_STDCALL Reload() = 0;
    // Sends a message event to window.chrome.webview with data = the parsed JSON.
    virtual HRESULT NV_STDCALL PostWebMessageAsJson(const char* WebMessageAsJson) = 0;
    // Sends a message event whose data is the text.
    virtual HRESULT NV_STDCALL PostWebMessageAsString(const char* WebMessageAsString) = 0;
    virtual HRESULT NV_STDCALL add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* Handler,
                                                      EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_WebMessageReceived(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL
    CallDevToolsProtocolMethod(const char* MethodName, const char* ParametersAsJson,
                               ICoreWebView2CallDevToolsProtocolMethodCompletedHandler* Handler) = 0;
    // The engine's content process; 0 when it is not known.
    virtual HRESULT NV_STDCALL get_BrowserProcessId(UINT32* Value) = 0;
    virtual HRESULT NV_STDCALL get_CanGoBack(BOOL* CanGoBack) = 0;
    virtual HRESULT NV_STDCALL get_CanGoForward(BOOL* CanGoForward) = 0;
    virtual HRESULT NV_STDCALL GoBack() = 0;
    virtual HRESULT NV_STDCALL GoForward() = 0;
    virtual HRESULT NV_STDCALL GetDevToolsProtocolEventReceiver(
        const char* EventName, ICoreWebView2DevToolsProtocolEventReceiver** Receiver) = 0;
    virtual HRESULT NV_STDCALL Stop() = 0;
    virtual HRESULT NV_STDCALL add_NewWindowRequested(ICoreWebView2NewWindowRequestedEventHandler* Handler,
                                                      EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_NewWindowRequested(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_DocumentTitleChanged(
        ICoreWebView2DocumentTitleChangedEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_DocumentTitleChanged(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL get_DocumentTitle(char** Title) = 0;
    virtual HRESULT NV_STDCALL OpenDevToolsWindow() = 0;
    virtual HRESULT NV_STDCALL
    add_ContainsFullScreenElementChanged(ICoreWebView2ContainsFullScreenElementChangedEventHandler* Handler,
                                         EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_ContainsFullScreenElementChanged(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL get_ContainsFullScreenElement(BOOL* ContainsFullScreenElement) = 0;
    virtual HRESULT NV_STDCALL add_WebResourceRequested(
        ICoreWebView2WebResourceRequestedEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_WebResourceRequested(EventRegistrationToken Token) = 0;
    // Uri is a pattern in which '*' stands for any text.
    virtual HRESULT NV_STDCALL
    AddWebResourceRequestedFilter(const char* Uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext) = 0;
    virtual HRESULT NV_STDCALL
    RemoveWebResourceRequestedFilter(const char* Uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT ResourceContext) = 0;
    virtual HRESULT NV_STDCALL add_WindowCloseRequested(
        ICoreWebView2WindowCloseRequestedEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_WindowCloseRequested(EventRegistrationToken Token) = 0;

protected:
    ~ICoreWebView2() = default;
};

// ---------------------------------------------------------------------------
// Files dropped on a view, reached by QueryInterface of the view. The
// engine reports a drop of local files to the host whatever the page does
// with it: a page learns no file's path of a drop by itself.
// ---------------------------------------------------------------------------

class ICoreWebView2FileDrop : public IUnknown {
public:
    NV_INTERFACE_ID(0x9d41b6e3, 0x57a0, 0x4e18, 0xb2, 0x6c, 0x30, 0xf5, 0x1d, 0x84, 0xc9, 0x7a);
    virtual HRESULT NV_STDCALL add_FilesDropped(ICoreWebView2FilesDroppedEventHandler* Handler,
                                                EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_FilesDropped(EventRegistrationToken Token) = 0;

protected:
    ~ICoreWebView2FileDrop() = default;
};

// ---------------------------------------------------------------------------
// The controller: where the view sits in its parent window, visibility, zoom,
// focus and the five controller notifications.
// ---------------------------------------------------------------------------

class ICoreWebView2Controller : public IUnknown {
public:
    NV_INTERFACE_ID(0x99174f52, 0x928f, 0x4dbb, 0xaf, 0xcf, 0x17, 0x6b, 0x3d, 0x58, 0xbd, 0x1e);
    virtual HRESULT NV_STDCALL get_IsVisible(BOOL* IsVisible) = 0;
    virtual HRESULT NV_STDCALL put_IsVisible(BOOL IsVisible) = 0;
    // The view's rectangle inside the parent window.
    virtual HRESULT NV_STDCALL get_Bounds(RECT* Bounds) = 0;
    virtual HRESULT NV_STDCALL put_Bounds(RECT Bounds) = 0;
    virtual HRESULT NV_STDCALL get_ZoomFactor(double* ZoomFactor) = 0;
    virtual HRESULT NV_STDCALL put_ZoomFactor(double ZoomFactor) = 0;
    virtual HRESULT NV_STDCALL add_ZoomFactorChanged(ICoreWebView2ZoomFactorChangedEventHandler* Handler,
                                                     EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_ZoomFactorChanged(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL MoveFocus(COREWEBVIEW2_MOVE_FOCUS_REASON Reason) = 0;
    virtual HRESULT NV_STDCALL add_MoveFocusRequested(ICoreWebView2MoveFocusRequestedEventHandler* Handler,
                                                      EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_MoveFocusRequested(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_GotFocus(ICoreWebView2FocusChangedEventHandler* Handler,
                                            EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_GotFocus(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_LostFocus(ICoreWebView2FocusChangedEventHandler* Handler,
                                             EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_LostFocus(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL add_AcceleratorKeyPressed(
        ICoreWebView2AcceleratorKeyPressedEventHandler* Handler, EventRegistrationToken* Token) = 0;
    virtual HRESULT NV_STDCALL remove_AcceleratorKeyPressed(EventRegistrationToken Token) = 0;
    virtual HRESULT NV_STDCALL get_ParentWindow(void** ParentWindow) = 0;
    virtual HRESULT NV_STDCALL NotifyParentWindowPositionChanged() = 0;
    // Removes the view from its parent window and ends it; later calls answer
    // HRESULT_ERROR_INVALID_STATE.
    virtual HRESULT NV_STDCALL Close() = 0;
    virtual HRESULT NV_STDCALL get_CoreWebView2(ICoreWebView2** CoreWebView2) = 0;

protected:
    ~ICoreWebView2Controller() = default;
};

// ---------------------------------------------------------------------------
// The environment: one browser profile (the folder named by the environment
// variable WEBVIEW2_USER_DATA_FOLDER when it was created).
// ---------------------------------------------------------------------------

class ICoreWebView2Environment : public IUnknown {
public:
    NV_INTERFACE_ID(0xc10ad86c, 0x0dbb, 0x4060, 0x94, 0xb0, 0x08, 0xb0, 0xe8, 0x98, 0x65, 0xac);
    // ParentWindow is the host's window: on GTK a GtkContainer* that gives its
    // single child its whole area. The engine adds one child of its own to it
    // and places the view inside that child at the controller's bounds.
    virtual HRESULT NV_STDCALL CreateCoreWebView2Controller(
        void* ParentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* Handler) = 0;
    // Content may be null (empty body); Headers as in ICoreWebView2WebResourceResponse.
    virtual HRESULT NV_STDCALL CreateWebResourceResponse(IStream* Content, std::int32_t StatusCode,
                                                         const char* ReasonPhrase, const char* Headers,
                                                         ICoreWebView2WebResourceResponse** Response) = 0;
    virtual HRESULT NV_STDCALL get_BrowserVersionString(char** VersionInfo) = 0;

protected:
    ~ICoreWebView2Environment() = default;
};

#undef NV_INTERFACE_ID

} // namespace Norvane::WebView2
