#include "platform/windows/WindowsRandomSource.h"

#include <windows.h>
// After windows.h, which they expect first.
#include <bcrypt.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>

#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {

WindowsRandomSource::WindowsRandomSource() {
    HCRYPTPROV provider = 0;
    if (CryptAcquireContextW(&provider, nullptr, kProvider, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        m_provider = provider;
}

WindowsRandomSource::~WindowsRandomSource() {
    if (m_provider) CryptReleaseContext(static_cast<HCRYPTPROV>(m_provider), 0);
}

Status WindowsRandomSource::fill(std::span<std::byte> out) {
    // Both take a 32-bit length: fill large buffers in slices.
    constexpr std::size_t kSlice = 1u << 30;
    for (std::size_t done = 0; done < out.size();) {
        const auto n = static_cast<DWORD>(std::min(kSlice, out.size() - done));
        auto* p = reinterpret_cast<BYTE*>(out.data() + done);
        if (m_provider) {
            if (!CryptGenRandom(static_cast<HCRYPTPROV>(m_provider), n, p))
                return lastError("the random generator failed");
        } else {
            const NTSTATUS st = BCryptGenRandom(nullptr, p, n, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
            if (st < 0) {
                char code[16];
                std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(st));
                return Error{static_cast<int>(st), std::string("the random generator failed (") + code + ")"};
            }
        }
        done += n;
    }
    return {};
}

}  // namespace quenvor::platform::windows
