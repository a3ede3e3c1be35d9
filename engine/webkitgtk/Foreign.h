// What the engine gives content that is not the application's own: pop-up
// windows in a web context of their own, and downloads, which are written only
// where the user says in a save dialog.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

namespace Norvane::Engine {

// The ephemeral context of every view that does not show the application: it
// shares no storage with the application, has neither the application's
// scheme nor the web-process extension, and its views may not load "file:"
// addresses. Made on first use, kept for the life of the process.
WebKitWebContext* ForeignContext();

// Opens EngineUri in a window of its own in the foreign context (a pop-up
// that nobody handled). Nothing of the host reaches it.
void OpenForeignWindow(const char* EngineUri);

// Keeps a short record of the view's navigation actions, so that a download
// can be told to come from a user's gesture.
void NoteNavigationAction(WebKitWebView* View, WebKitNavigationAction* Action);

// Every download of Context asks the user with a save dialog, which names the
// file and the site it comes from and starts in the user's download folder.
// ApplicationContext: the context of the application's views, whose own
// documents may start a download without a gesture; any other document needs
// one, else the download is refused.
void WatchDownloads(WebKitWebContext* Context, bool ApplicationContext);

// "the application" for the application's addresses, else the scheme, host and
// port of Uri, or Uri itself when it names no host.
std::string SiteOf(const std::string& EngineUri);

} // namespace Norvane::Engine
