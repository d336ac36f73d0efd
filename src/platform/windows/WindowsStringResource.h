#pragma once
// The string table as the program's own RT_STRING resource. The blocks are read from
// "quenvor.exe" in the program's folder, opened as a resource file only; where there is no
// such file (a test program, a renamed copy) the running image's own resources serve.
#include <filesystem>

#include "platform/IStringResource.h"

namespace quenvor::platform::windows {

class WindowsStringResource : public IStringResource {
public:
    explicit WindowsStringResource(const std::filesystem::path& programFolder);
    ~WindowsStringResource() override;
    WindowsStringResource(const WindowsStringResource&) = delete;
    WindowsStringResource& operator=(const WindowsStringResource&) = delete;

    // A block under another language is not found (the system reports error 1815 then): there
    // is no fall-back between languages here.
    std::optional<std::span<const std::byte>> findBlock(int block, std::uint16_t language) override;
    bool hasLanguage(std::uint16_t language) override;
    bool readsOwnImage() const { return m_loaded == nullptr; }

private:
    void* m_loaded = nullptr;  // HMODULE of quenvor.exe as a resource file; null: our own image
};

}  // namespace quenvor::platform::windows
