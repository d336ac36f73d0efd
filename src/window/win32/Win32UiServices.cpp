#include "window/win32/Win32UiServices.h"

#include <commdlg.h>
#include <shobjidl.h>

#include <vector>

#include "platform/windows/WideText.h"
#include "platform/windows/WindowsKnownFolders.h"
#include "text/TextIds.h"
#include "window/win32/DetailsMessageBox.h"
#include "window/win32/frmStart.h"

namespace quenvor::window::win32 {
namespace {

using platform::windows::narrow;
using platform::windows::widen;

template <class T>
struct ComPtr {
    T* p = nullptr;
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// A dialog asked for no folder opens in the user's profile folder, not in the folder the program
// was started from.
std::wstring startFolder(const std::string& asked) {
    return asked.empty() ? platform::windows::WindowsKnownFolders().homeFolder().wstring() : widen(asked);
}

}  // namespace

HWND Win32UiServices::owner() const { return m_form ? m_form->hwnd() : nullptr; }

ui::MsgAnswer Win32UiServices::messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                          ui::MsgIcon icon, ui::MsgDefault defaultButton) {
    UINT flags = MB_SETFOREGROUND;
    if (defaultButton == ui::MsgDefault::Second && buttons != ui::MsgButtons::Ok) flags |= MB_DEFBUTTON2;
    switch (buttons) {
        case ui::MsgButtons::Ok:
            flags |= MB_OK;
            break;
        case ui::MsgButtons::OkCancel:
            flags |= MB_OKCANCEL;
            break;
        case ui::MsgButtons::YesNo:
            flags |= MB_YESNO;
            break;
        case ui::MsgButtons::YesNoCancel:
            flags |= MB_YESNOCANCEL;
            break;
    }
    switch (icon) {
        case ui::MsgIcon::None:
            break;
        case ui::MsgIcon::Critical:
            flags |= MB_ICONERROR;
            break;
        case ui::MsgIcon::Question:
            flags |= MB_ICONQUESTION;
            break;
        case ui::MsgIcon::Exclamation:
            flags |= MB_ICONWARNING;
            break;
        case ui::MsgIcon::Information:
            flags |= MB_ICONINFORMATION;
            break;
    }
    // The box owns the pointer while it waits: a busy one must not hide that it wants an answer.
    if (m_form) m_form->setBusyPointer(false);
    const int answer = MessageBoxW(owner(), widen(text).c_str(), widen(title).c_str(), flags);
    if (m_form) m_form->setBusyPointer(m_busy);
    return DetailsMessageBox::answerOf(answer);
}

ui::MsgAnswer Win32UiServices::messageBoxWithDetails(const std::string& text, const std::string& title,
                                                     ui::MsgButtons buttons, ui::MsgIcon icon,
                                                     ui::MsgDefault defaultButton, const std::string& detailsButton,
                                                     const std::vector<std::string>& details) {
    DetailsMessageBox box(text, title, buttons, icon, defaultButton, detailsButton, details);
    if (m_form) m_form->setBusyPointer(false);
    const ui::MsgAnswer answer = box.run(owner());
    if (m_form) m_form->setBusyPointer(m_busy);
    return answer;
}

std::vector<std::string> Win32UiServices::selectedFiles(const wchar_t* buffer) {
    std::vector<std::wstring> parts;
    for (const wchar_t* p = buffer; *p; p += wcslen(p) + 1) parts.emplace_back(p);
    std::vector<std::string> files;
    if (parts.size() == 1) {
        files.push_back(narrow(parts.front()));
        return files;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::wstring folder = parts.front();
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        files.push_back(narrow(folder + parts[i]));
    }
    return files;
}

ui::FileDialogResult Win32UiServices::openFileDialog(const ui::FileDialogRequest& request) {
    std::wstring filter;
    for (const auto& [description, patterns] : request.filters) {
        filter += widen(description) + L'\0' + widen(patterns) + L'\0';
    }
    filter += L'\0';
    std::vector<wchar_t> buffer(64 * 1024, L'\0');
    const std::wstring initialFile = widen(request.initialFile);
    wcsncpy(buffer.data(), initialFile.c_str(), buffer.size() - 1);
    const std::wstring title = widen(request.title), folder = startFolder(request.initialDir);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner();
    ofn.lpstrFilter = request.filters.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // Links are picked as themselves, and the dialog keeps no list of recent files.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_NODEREFERENCELINKS | OFN_DONTADDTORECENT |
                OFN_PATHMUSTEXIST | (request.fileMustExist ? OFN_FILEMUSTEXIST : 0U) |
                (request.multiSelect ? OFN_ALLOWMULTISELECT : 0U);
    ui::FileDialogResult result;
    if (!GetOpenFileNameW(&ofn)) return result;
    result.files = selectedFiles(buffer.data());
    result.accepted = !result.files.empty();
    result.filterIndex = static_cast<int>(ofn.nFilterIndex);
    return result;
}

// The shell's folder picker takes a typed folder and Return, which the older browse dialog
// does not.
std::string Win32UiServices::browseForFolder(const ui::FolderDialogRequest& request) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(dialog.out()))))
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR | FOS_DONTADDTORECENT |
                       FOS_NODEREFERENCELINKS);
    // The program's own title in its language; the dialog's default is in the system's.
    const std::string title = !request.title.empty() ? request.title
                              : m_form               ? m_form->logic().strings().LoadLangString(text::FolderDialogTitle)
                                                     : std::string();
    if (!title.empty()) dialog->SetTitle(widen(title).c_str());
    if (const std::wstring folder = startFolder(request.initialDir); !folder.empty()) {
        ComPtr<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(start.out()))))
            dialog->SetFolder(start.p);
    }
    if (FAILED(dialog->Show(owner()))) return {};
    ComPtr<IShellItem> chosen;
    if (FAILED(dialog->GetResult(chosen.out()))) return {};
    wchar_t* path = nullptr;
    if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return {};
    std::string result = narrow(path);
    CoTaskMemFree(path);
    return result;
}

void Win32UiServices::setMousePointer(ui::MousePointer pointer) {
    m_busy = pointer == ui::MousePointer::Hourglass;
    if (m_form) m_form->setBusyPointer(m_busy);
    SetCursor(LoadCursorW(nullptr, m_busy ? IDC_WAIT : IDC_ARROW));
}

void Win32UiServices::processPendingEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The main loop must still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (m_form && (m_form->translateKey(msg) || IsDialogMessageW(owner(), &msg))) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Win32UiServices::endProgram() { PostQuitMessage(0); }

}  // namespace quenvor::window::win32
