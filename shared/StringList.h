// A list of strings with a sorted flag: setting the flag orders the strings
// in ascending order without regard to ASCII letter case (a stable sort, so
// names that differ only in case keep their order).
#pragma once

#include "platform/Text.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace Norvane::Shared {

class TStringList {
public:
    void Clear() { FStrings.clear(); }
    void Add(std::string S) {
        FStrings.push_back(std::move(S));
        if (FSorted)
            Sort();
    }
    std::size_t Count() const { return FStrings.size(); }
    const std::string& operator[](std::size_t I) const { return FStrings[I]; }
    const std::vector<std::string>& Strings() const { return FStrings; }
    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value) {
        FSorted = Value;
        if (FSorted)
            Sort();
    }

private:
    void Sort() {
        std::stable_sort(FStrings.begin(), FStrings.end(), [](const std::string& A, const std::string& B) {
            return Platform::Text::LowerAscii(A) < Platform::Text::LowerAscii(B);
        });
    }
    std::vector<std::string> FStrings;
    bool FSorted = false;
};

} // namespace Norvane::Shared
