// Audio and video of the application, played from a private address on the
// loopback interface. WebKit's media player takes no address of the
// application's own scheme (it plays http:, https:, blob: and file:), so the
// application's documents get their media addresses rewritten to
// "http://127.0.0.1:PORT/TOKEN/PATH" (MediaAddressScript in PageScripts.h).
//
// The endpoint answers such a request exactly as the view would answer a
// request of the scheme for "norvane://app/PATH", through the view's resource
// handler, and only with bytes the host marked as the payload's: a file on the
// disk or a generated answer is "404". It takes only GET and HEAD, with the
// Host header the address names (against DNS rebinding) and a token of 128
// random bits that belongs to one view and is forgotten with it. Byte ranges
// are the host's answer; the content is streamed in chunks, never held whole,
// and is marked not to be stored by any cache. The socket listens while a view
// exists and closes with the last one (and with the process).
#pragma once

#include <string>

namespace Norvane::Engine {

class TWebView;

// The base address ("http://127.0.0.1:PORT/TOKEN/") of View's media, opening
// the endpoint when it is not open; "" when it cannot be opened.
std::string OpenMediaEndpoint(TWebView* View);
// Forgets View's token; the endpoint closes with the last view.
void CloseMediaEndpoint(TWebView* View);

} // namespace Norvane::Engine
