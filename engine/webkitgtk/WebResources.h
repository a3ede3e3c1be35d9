// Requests of the application's scheme: the request and response objects of
// the web-resource notification, filter patterns, and answering a request
// from a response or from the disk.
#pragma once

#include "engine/webkitgtk/EngineCommon.h"

#include <webkit2/webkit2.h>

#include <string_view>
#include <utility>
#include <vector>

namespace Norvane::Engine {

class TWebResourceRequest final : public TComObject<ICoreWebView2WebResourceRequest> {
public:
    TWebResourceRequest(std::string Uri, std::string Method, std::string Headers, TComPtr<IStream> Content)
        : FUri(std::move(Uri)), FMethod(std::move(Method)), FHeaders(std::move(Headers)),
          FContent(std::move(Content)) {}

    HRESULT NV_STDCALL get_Uri(char** Uri) override { return ReturnText(FUri, Uri); }
    HRESULT NV_STDCALL put_Uri(const char* Uri) override;
    HRESULT NV_STDCALL get_Method(char** Method) override { return ReturnText(FMethod, Method); }
    HRESULT NV_STDCALL put_Method(const char* Method) override;
    HRESULT NV_STDCALL get_Content(IStream** Content) override { return FContent.CopyTo(Content); }
    HRESULT NV_STDCALL put_Content(IStream* Content) override {
        FContent = TComPtr<IStream>(Content);
        return S_OK;
    }
    HRESULT NV_STDCALL get_Headers(char** Headers) override { return ReturnText(FHeaders, Headers); }

private:
    std::string FUri, FMethod, FHeaders;
    TComPtr<IStream> FContent;
};

class TWebResourceResponse final : public TComObject<ICoreWebView2WebResourceResponse> {
public:
    TWebResourceResponse(TComPtr<IStream> Content, std::int32_t StatusCode, std::string ReasonPhrase,
                         std::string Headers)
        : FContent(std::move(Content)), FStatusCode(StatusCode), FReasonPhrase(std::move(ReasonPhrase)),
          FHeaders(std::move(Headers)) {}

    HRESULT NV_STDCALL get_Content(IStream** Content) override { return FContent.CopyTo(Content); }
    HRESULT NV_STDCALL put_Content(IStream* Content) override {
        FContent = TComPtr<IStream>(Content);
        return S_OK;
    }
    HRESULT NV_STDCALL get_Headers(char** Headers) override { return ReturnText(FHeaders, Headers); }
    HRESULT NV_STDCALL AppendHeader(const char* Name, const char* Value) override;
    HRESULT NV_STDCALL get_StatusCode(std::int32_t* StatusCode) override {
        return ReturnValue(FStatusCode, StatusCode);
    }
    HRESULT NV_STDCALL put_StatusCode(std::int32_t StatusCode) override;
    HRESULT NV_STDCALL get_ReasonPhrase(char** ReasonPhrase) override {
        return ReturnText(FReasonPhrase, ReasonPhrase);
    }
    HRESULT NV_STDCALL put_ReasonPhrase(const char* ReasonPhrase) override {
        FReasonPhrase = ReasonPhrase ? ReasonPhrase : "";
        return S_OK;
    }

private:
    TComPtr<IStream> FContent;
    std::int32_t FStatusCode;
    std::string FReasonPhrase, FHeaders;
};

// '*' stands for any text, '?' for one character.
bool MatchesUriPattern(const std::string& Pattern, const std::string& Uri);

// The kind of resource a request asks for, from its fetch metadata or Accept header.
COREWEBVIEW2_WEB_RESOURCE_CONTEXT GuessResourceContext(SoupMessageHeaders* Headers);
// The headers as "Name: value" lines joined by CR LF ("" for none).
std::string HeaderLines(SoupMessageHeaders* Headers);

// The "Name: value" lines of a header text (CR LF or LF), trimmed; lines
// without a colon or a name are left out.
std::vector<std::pair<std::string, std::string>> HeaderFields(std::string_view Text);

// The request object of the notification for a request of the scheme.
TComPtr<ICoreWebView2WebResourceRequest> MakeResourceRequest(WebKitURISchemeRequest* Request);

// Answers Request with Response's status, headers and content. True when the
// host marked the content as the application's own (ApplicationContentHeader,
// which is not passed on to the page).
bool FinishWithResponse(WebKitURISchemeRequest* Request, ICoreWebView2WebResourceResponse* Response);

// Answers Request as the engine would without a handler: the file the address
// names, else a not-found error (the engine's error page for a document).
void FinishFromDisk(WebKitURISchemeRequest* Request);

} // namespace Norvane::Engine
