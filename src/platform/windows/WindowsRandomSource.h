#pragma once
// CryptoAPI's random generator of the Enhanced provider, opened without a key container
// (CRYPT_VERIFYCONTEXT: a user without a profile has none, and we need no keys); the system's
// preferred generator (BCryptGenRandom) where that provider cannot be acquired.
#include "platform/IRandomSource.h"

namespace quenvor::platform::windows {

class WindowsRandomSource : public IRandomSource {
public:
    static constexpr const wchar_t* kProvider = L"Microsoft Enhanced Cryptographic Provider v1.0";

    WindowsRandomSource();
    ~WindowsRandomSource() override;
    WindowsRandomSource(const WindowsRandomSource&) = delete;
    WindowsRandomSource& operator=(const WindowsRandomSource&) = delete;

    Status fill(std::span<std::byte> out) override;
    bool usesCryptoApi() const { return m_provider != 0; }

private:
    std::uintptr_t m_provider = 0;  // HCRYPTPROV, 0 when only BCrypt is used
};

}  // namespace quenvor::platform::windows
