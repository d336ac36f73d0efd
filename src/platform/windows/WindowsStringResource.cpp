#include "platform/windows/WindowsStringResource.h"

#include <windows.h>

#include <vector>

namespace quenvor::platform::windows {
namespace {

HMODULE moduleOf(void* loaded) { return loaded ? static_cast<HMODULE>(loaded) : GetModuleHandleW(nullptr); }

BOOL CALLBACK collectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    // String blocks are numbered; a named one is not ours.
    if (IS_INTRESOURCE(name)) reinterpret_cast<std::vector<WORD>*>(names)->push_back(LOWORD(name));
    return TRUE;
}

}  // namespace

WindowsStringResource::WindowsStringResource(const std::filesystem::path& programFolder) {
    const std::filesystem::path exe = programFolder / L"quenvor.exe";
    // As data only: nothing of it runs, and a file that is not the program cannot do anything.
    m_loaded = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

WindowsStringResource::~WindowsStringResource() {
    if (m_loaded) FreeLibrary(static_cast<HMODULE>(m_loaded));
}

std::optional<std::span<const std::byte>> WindowsStringResource::findBlock(int block, std::uint16_t language) {
    if (block < 1 || block > 0xFFFF) return std::nullopt;
    const HMODULE module = moduleOf(m_loaded);
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), language);
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!data) return std::nullopt;
    // A resource stays mapped for as long as its module: the block outlives this call.
    return std::span<const std::byte>(static_cast<const std::byte*>(data), size);
}

bool WindowsStringResource::hasLanguage(std::uint16_t language) {
    std::vector<WORD> names;
    EnumResourceNamesW(moduleOf(m_loaded), MAKEINTRESOURCEW(6), collectName, reinterpret_cast<LONG_PTR>(&names));
    for (WORD n : names)
        if (FindResourceExW(moduleOf(m_loaded), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(n), language)) return true;
    return false;
}

}  // namespace quenvor::platform::windows
