#include "window/win32/Fonts.h"

#include <cwchar>

#include "platform/windows/WideText.h"

namespace quenvor::window::win32 {
namespace {

bool fontInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) -> int {
            *reinterpret_cast<bool*>(seen) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

}  // namespace

Fonts::Fonts() : m_tahoma(fontInstalled(L"Tahoma")) {}

HFONT Fonts::make(const wchar_t* face, int height, bool bold, const std::string& key) {
    auto& f = m_fonts[key];
    if (!f)
        f.reset(CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face));
    return f.get();
}

HFONT Fonts::control(const ui::ControlSpec& layout, bool bold, int dpi) {
    const wchar_t* face = L"Tahoma";
    if (layout.face == ui::FontFace::Arial) face = fontInstalled(L"Arial") ? L"Arial" : L"Tahoma";
    if (!m_tahoma && wcscmp(face, L"Tahoma") == 0) face = L"Segoe UI";
    // Point sizes are meant at 96 dots per inch: 8.25 pt is 11 pixels there.
    const int height = -MulDiv(layout.pointSizeX100, dpi, 7200);
    return make(face, height, bold, platform::windows::narrow(face) + "/" + std::to_string(height) + (bold ? "b" : ""));
}

// Bold as in the artwork. Wine's own Tahoma Bold has bold spacing but regular strokes at this
// size, so under Wine a sans-serif the system has a real bold face of stands in.
HFONT Fonts::logo(int dpi) {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr;
    const wchar_t* face = wine && fontInstalled(L"DejaVu Sans") ? L"DejaVu Sans" : m_tahoma ? L"Tahoma" : L"Segoe UI";
    const int height = -MulDiv(1350, dpi, 7200);  // 18 pixels at 96 dpi
    return make(face, height, true, "logo/" + platform::windows::narrow(face) + "/" + std::to_string(height));
}

}  // namespace quenvor::window::win32
