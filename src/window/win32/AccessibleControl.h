#pragma once
// What a control tells screen readers beyond what its window class says: the standard object of
// its client area, with the name, role, value and state the window knows better, and for a tab
// strip its tabs as children of their own. Given out in answer to WM_GETOBJECT.
#include <windows.h>

#include <oleacc.h>

#include <functional>
#include <string>

namespace quenvor::window::win32 {

// A COM object goes by Release alone, never by a delete through its interface.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class AccessibleControl final : public IAccessible {
public:
    struct Facts {
        std::function<std::wstring()> name;   // none: the standard name (the window text)
        long role = 0;                        // 0: the standard role
        std::function<std::wstring()> value;  // none: the standard value
        std::function<long()> state;          // added to the standard state
        // Parts of the control that are no windows of their own, numbered from 1.
        int children = 0;
        long childRole = 0;
        std::function<std::wstring(int)> childName;
        std::function<long(int)> childState;
        std::function<RECT(int)> childPlace;  // on the screen
        std::function<void(int)> choose;      // the child's default action, and what selecting it does
        std::wstring action;                  // the default action's name
    };

    // The answer to WM_GETOBJECT: the object for the client area, 0 for any other (Windows then
    // gives its standard object). The facts are asked only while `hwnd` exists.
    static LRESULT answer(HWND hwnd, WPARAM w, LPARAM l, Facts facts);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch, handed to the standard object
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

private:
    AccessibleControl(HWND hwnd, IAccessible* standard, Facts facts);
    ~AccessibleControl();
    // -1 for no child of this object; 0 for the control itself.
    long childOf(const VARIANT& v) const;
    bool alive() const { return IsWindow(m_hwnd) != FALSE; }
    // The child with `state` among its states, 0 for none.
    long childWith(long state) const;

    LONG m_refs = 1;
    HWND m_hwnd;
    IAccessible* m_standard;
    Facts m_facts;
};
#pragma GCC diagnostic pop

}  // namespace quenvor::window::win32
