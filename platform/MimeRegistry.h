// The system's own registrations of content types for file-name extensions.
//
// A system keeps two kinds of registrations, read in this order, each one
// overriding what came before:
//  - extension lists: one entry per extension naming its content type
//    (POSIX: files in the format of /etc/mime.types; Windows: the class
//    registry's extension keys with their "Content Type" values);
//  - type databases: one entry per content type naming its extension
//    patterns (POSIX: the shared-mime-info "globs2"/"globs" files of the XDG
//    data folders; Windows: the MIME database keys of the class registry).
#pragma once

#include <string>
#include <vector>

namespace Norvane::Platform {

enum class MimeSourceKind {
    ExtensionList,
    TypeDatabase,
};

// One place the registrations are read from. Location is backend specific
// (POSIX: the path of the file).
struct MimeSource {
    MimeSourceKind Kind = MimeSourceKind::ExtensionList;
    std::string Location;

    bool operator==(const MimeSource&) const = default;
};

// One registration: Extension with its leading ".", both texts in lower case.
struct MimeRegistration {
    std::string Extension;
    std::string ContentType;

    bool operator==(const MimeRegistration&) const = default;
};

// The system's sources, in the order they apply (a later one overrides an
// earlier one). POSIX: /etc/mime.types, then for every XDG data folder from
// the lowest priority ($XDG_DATA_DIRS read from its end, default
// /usr/local/share:/usr/share) to the highest ($XDG_DATA_HOME, default
// ~/.local/share) the folder's mime/globs2, or mime/globs when there is no
// globs2.
std::vector<MimeSource> SystemMimeSources();

// Appends the registrations of one source in the order they apply. A source
// that does not exist or cannot be read adds nothing. Within one type
// database an extension gets one registration: the pattern of the highest
// weight, the first one listed among equal weights. Only patterns of the
// simple form "*.ext" count.
void ReadMimeSource(const MimeSource& Source, std::vector<MimeRegistration>& Registrations);

} // namespace Norvane::Platform
