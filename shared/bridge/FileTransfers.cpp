#include "shared/bridge/FileTransfers.h"

#include <algorithm>
#include <cstdint>
#include <random>

namespace Norvane::Shared {

void TFileTransfers::DropExpired() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(FOpen, [now](const auto& Item) { return Item.second.Expires <= now; });
}

std::string TFileTransfers::Issue(TDirection Direction, std::string Path) {
    DropExpired();
    while (FOpen.size() >= MaxOpen) {
        auto oldest = std::min_element(FOpen.begin(), FOpen.end(), [](const auto& A, const auto& B) {
            return A.second.Serial < B.second.Serial;
        });
        FOpen.erase(oldest);
    }
    std::random_device random; // the system's random source
    static constexpr char Hex[] = "0123456789abcdef";
    std::string token;
    do {
        token.clear();
        for (int i = 0; i < 4; ++i) {
            const std::uint32_t bits = random();
            for (int shift = 28; shift >= 0; shift -= 4)
                token += Hex[(bits >> shift) & 15];
        }
    } while (FOpen.contains(token));
    FOpen.emplace(token, TEntry{{Direction, std::move(Path), nullptr},
                                std::chrono::steady_clock::now() + Lifetime,
                                ++FSerial});
    return std::string(TransferPagePrefix) + token;
}

std::string_view TFileTransfers::TokenOf(std::string_view Address) {
    if (Address.size() < TransferAddressPrefix.size())
        return {};
    // Scheme and host without regard to letter case, as the engine may give them.
    for (std::size_t i = 0; i < TransferAddressPrefix.size(); ++i) {
        char c = Address[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
        if (c != TransferAddressPrefix[i])
            return {};
    }
    const std::string_view token = Address.substr(TransferAddressPrefix.size());
    return token.substr(0, token.find_first_of("?#"));
}

void TFileTransfers::Restore(std::string_view Address, TTransfer Transfer) {
    const std::string_view token = TokenOf(Address);
    if (token.empty())
        return;
    FOpen.insert_or_assign(
        std::string(token),
        TEntry{std::move(Transfer), std::chrono::steady_clock::now() + Lifetime, ++FSerial});
}

std::optional<TFileTransfers::TTransfer> TFileTransfers::Take(std::string_view Address) {
    const std::string_view token = TokenOf(Address);
    if (token.empty())
        return std::nullopt;
    DropExpired();
    auto found = FOpen.find(token);
    if (found == FOpen.end())
        return std::nullopt;
    TTransfer transfer = std::move(found->second.Transfer);
    FOpen.erase(found);
    return transfer;
}

} // namespace Norvane::Shared
