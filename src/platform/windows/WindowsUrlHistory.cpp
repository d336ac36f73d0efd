#include "platform/windows/WindowsUrlHistory.h"

#include <objbase.h>
#include <urlhist.h>
#include <windows.h>

#include <cstdio>

#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {
namespace {

// Written out rather than taken from libuuid, which not every toolchain's copy carries.
constexpr GUID kUrlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
constexpr GUID kUrlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

Error comError(const char* what, HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    return Error{static_cast<int>(hr), std::string(what) + " (" + code + ")"};
}

bool noSuchService(HRESULT hr) { return hr == E_NOTIMPL || hr == REGDB_E_CLASSNOTREG || hr == E_NOINTERFACE; }

}  // namespace

Status WindowsUrlHistory::clearHistory() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Another apartment kind on this thread still lets us call in; only our own init is undone.
    const bool mustUninit = SUCCEEDED(init);
    IUrlHistoryStg2* history = nullptr;
    HRESULT hr = CoCreateInstance(kUrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER, kUrlHistoryStg2,
                                  reinterpret_cast<void**>(&history));
    if (SUCCEEDED(hr) && history) {
        hr = history->ClearHistory();
        history->Release();
    }
    if (mustUninit) CoUninitialize();
    if (SUCCEEDED(hr) || noSuchService(hr)) return {};
    return comError("cannot clear the URL history", hr);
}

}  // namespace quenvor::platform::windows
