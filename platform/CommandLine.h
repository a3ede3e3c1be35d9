// Splitting a command-line text into arguments by the Windows command-line
// rules, because the callers build parameter texts that way:
// - blanks (space, tab) separate arguments outside double quotes;
// - double quotes group and are removed;
// - 2n backslashes before a double quote give n backslashes and the quote
//   opens or closes a quoted part; 2n+1 backslashes before a double quote give
//   n backslashes and a literal double quote; backslashes not followed by a
//   double quote are literal;
// - inside a quoted part, two double quotes give one literal double quote and
//   end the quoted part (every third quote of a run is literal).
#pragma once

#include <string>
#include <vector>

namespace Norvane::Platform {

// A parameter text: every item follows the argument rules above.
std::vector<std::string> SplitArguments(const std::string& parameters);

// A whole command line whose first item names the program. The program name
// ends at the next blank, or, when it starts with a double quote, at the next
// double quote (backslashes are not special in it). The rest is split as by
// SplitArguments. Leading blanks are skipped; an empty line gives no items.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

} // namespace Norvane::Platform
