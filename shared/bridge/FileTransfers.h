// The one-time addresses through which a page moves a file's bytes without
// base64: qvx.files.readBinaryFile and writeBinaryFile hand the page an
// address inside the application's own origin ("/.norvane-transfer/<token>",
// which the window sees as "file:///.norvane-transfer/<token>"); the page
// fetches it (reading) or posts the bytes to it (writing), and the browser
// window hands that request to the bridge instead of looking for a file.
// A token is 128 random bits, names one file and one direction, serves one
// request (a write: its parts, "?at=<offset>" in order, up to the one marked
// "&end=1") and lasts a minute from its last use; at most 64 are open, the
// oldest dropped first.
// Tokens are handed out only to the application's own documents (the bridge
// answers nothing else), so another site's frame cannot name a transfer.
// Used on the UI thread only.
#pragma once

#include "shared/browser/BrowserForm.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace Norvane::Shared {

// The state of a write that came in parts so far (see Files.cpp).
struct TPartialWrite;

// The address of a transfer as the window reports requests for it.
inline constexpr std::string_view TransferAddressPrefix = PageRequestFolder;
// The same as the page resolves it against its own address.
inline constexpr std::string_view TransferPagePrefix = "/.norvane-transfer/";

class TFileTransfers {
public:
    enum class TDirection { Read, Write };
    struct TTransfer {
        TDirection Direction = TDirection::Read;
        std::string Path;                       // resolved, checked
        std::shared_ptr<TPartialWrite> Partial; // a write's parts so far
    };
    static constexpr std::size_t MaxOpen = 64;
    static constexpr std::chrono::seconds Lifetime{60};

    // A new transfer: the page's address of it.
    std::string Issue(TDirection Direction, std::string Path);
    // The transfer that Address names (query and fragment ignored), taken so
    // that it serves once; nothing for an unknown, used or expired token.
    std::optional<TTransfer> Take(std::string_view Address);
    // Puts a transfer taken from Address back for its next part, for another
    // lifetime.
    void Restore(std::string_view Address, TTransfer Transfer);
    std::size_t OpenCount() const { return FOpen.size(); }

private:
    struct TEntry {
        TTransfer Transfer;
        std::chrono::steady_clock::time_point Expires;
        std::uint64_t Serial = 0;
    };
    void DropExpired();
    // The token of Address; empty when it is no transfer address.
    static std::string_view TokenOf(std::string_view Address);
    std::map<std::string, TEntry, std::less<>> FOpen;
    std::uint64_t FSerial = 0;
};

} // namespace Norvane::Shared
