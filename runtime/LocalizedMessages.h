// The messages start-up can show before any window exists, in six languages,
// chosen by the user's locale of formats; English is the fallback. And the one
// dialog through which they are shown, with its own title and button captions.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/Dialogs.h"

namespace Norvane::Runtime {

inline constexpr int LocalizedMessageCount = 10; // entry 0 is the language code

using TLocalizedRow = std::array<const char*, LocalizedMessageCount>;

// Message numbers.
enum TLocalizedMessage : int {
    lmLanguageCode = 0,
    lmErrorTitle = 1,
    lmConfirmTitle = 2,
    lmAcceptButton = 3,
    lmCancelButton = 4,
    lmNoPayload = 5,
    lmRuntimeRequired = 6,
    lmInstallOffer = 7,
    lmInstallRefused = 8,
    lmInstallFailed = 9,
};

class EMessageIndexError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

// The two-letter language code of the user's locale of formats: the language
// part of the first of LC_ALL, LC_NUMERIC and LANG that is set and not empty.
// "C" and "POSIX" give an empty code.
std::string GetUserLanguageCode();

// Entry MessageIndex of the user's language row (English when no row matches).
// Raises EMessageIndexError "MessageIndex is out of range!" outside 0..9.
std::string GetLocalizedMessage(int MessageIndex);
// The same for a given language code.
std::string GetLocalizedMessageFor(const std::string& LanguageCode, int MessageIndex);

// Shows Msg in the standard message dialog of kind DlgType with the standard
// buttons of the set (created in the order Yes, No, OK, Cancel, ... Close),
// captioned Title; the push buttons take ButtonCaptions in their creation
// order while captions remain, later ones keep their own. Returns the modal
// result. The dialog belongs to the application object and stays until the
// process ends.
Platform::Ui::TModalResult ShowLocalizedDialog(const std::string& Msg, Platform::Ui::TMsgDlgType DlgType,
                                               Platform::Ui::TMsgDlgButtons Buttons, const std::string& Title,
                                               const std::vector<std::string>& ButtonCaptions);

} // namespace Norvane::Runtime
