#include "window/win32/AccessibleControl.h"

#include <utility>

namespace quenvor::window::win32 {
namespace {

HRESULT giveText(const std::wstring& text, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (text.empty()) return S_FALSE;
    return *out ? S_OK : E_OUTOFMEMORY;
}

void giveLong(VARIANT* out, long value) {
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
}

}  // namespace

LRESULT AccessibleControl::answer(HWND hwnd, WPARAM w, LPARAM l, Facts facts) {
    if (static_cast<LONG>(l) != static_cast<LONG>(OBJID_CLIENT)) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* object = new AccessibleControl(hwnd, standard, std::move(facts));
    const LRESULT result = LresultFromObject(IID_IAccessible, w, object);
    object->Release();  // the result holds its own reference
    return FAILED(result) ? 0 : result;
}

AccessibleControl::AccessibleControl(HWND hwnd, IAccessible* standard, Facts facts)
    : m_hwnd(hwnd), m_standard(standard), m_facts(std::move(facts)) {}

AccessibleControl::~AccessibleControl() { m_standard->Release(); }

HRESULT AccessibleControl::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IAccessible) {
        *out = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleControl::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }

ULONG AccessibleControl::Release() {
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT AccessibleControl::GetTypeInfoCount(UINT* count) { return m_standard->GetTypeInfoCount(count); }
HRESULT AccessibleControl::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return m_standard->GetTypeInfo(index, lcid, info);
}
HRESULT AccessibleControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return m_standard->GetIDsOfNames(riid, names, count, lcid, ids);
}
HRESULT AccessibleControl::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argError) {
    return m_standard->Invoke(id, riid, lcid, flags, params, result, exception, argError);
}

long AccessibleControl::childOf(const VARIANT& v) const {
    if (v.vt == VT_EMPTY) return CHILDID_SELF;
    if (v.vt != VT_I4 || v.lVal < 0 || v.lVal > m_facts.children) return -1;
    return v.lVal;
}

long AccessibleControl::childWith(long state) const {
    for (int i = 1; i <= m_facts.children && m_facts.childState; ++i)
        if ((m_facts.childState(i) & state) != 0) return i;
    return 0;
}

HRESULT AccessibleControl::get_accParent(IDispatch** parent) { return m_standard->get_accParent(parent); }

HRESULT AccessibleControl::get_accChildCount(long* count) {
    if (!m_facts.children) return m_standard->get_accChildCount(count);
    if (!count) return E_POINTER;
    *count = m_facts.children;
    return S_OK;
}

HRESULT AccessibleControl::get_accChild(VARIANT child, IDispatch** out) {
    if (!m_facts.children) return m_standard->get_accChild(child, out);
    if (!out) return E_POINTER;
    *out = nullptr;
    return childOf(child) > 0 ? S_FALSE : E_INVALIDARG;  // a simple element: its parent answers for it
}

HRESULT AccessibleControl::get_accName(VARIANT child, BSTR* name) {
    const long id = childOf(child);
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    if (id > 0 && m_facts.childName) return giveText(m_facts.childName(id), name);
    if (id == CHILDID_SELF && m_facts.name) return giveText(m_facts.name(), name);
    return m_standard->get_accName(child, name);
}

HRESULT AccessibleControl::get_accValue(VARIANT child, BSTR* value) {
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    if (childOf(child) == CHILDID_SELF && m_facts.value) return giveText(m_facts.value(), value);
    if (childOf(child) > 0) return DISP_E_MEMBERNOTFOUND;
    return m_standard->get_accValue(child, value);
}

HRESULT AccessibleControl::get_accDescription(VARIANT child, BSTR* description) {
    if (childOf(child) > 0) return giveText({}, description);
    return m_standard->get_accDescription(child, description);
}

HRESULT AccessibleControl::get_accRole(VARIANT child, VARIANT* role) {
    const long id = childOf(child);
    if (id < 0) return E_INVALIDARG;
    if (!role) return E_POINTER;
    if (id > 0 && m_facts.childRole) {
        giveLong(role, m_facts.childRole);
        return S_OK;
    }
    if (id == CHILDID_SELF && m_facts.role) {
        giveLong(role, m_facts.role);
        return S_OK;
    }
    return m_standard->get_accRole(child, role);
}

HRESULT AccessibleControl::get_accState(VARIANT child, VARIANT* state) {
    const long id = childOf(child);
    if (id < 0) return E_INVALIDARG;
    if (!state) return E_POINTER;
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    if (id > 0) {
        giveLong(state, m_facts.childState ? m_facts.childState(id) : 0);
        return S_OK;
    }
    const HRESULT hr = m_standard->get_accState(child, state);
    if (SUCCEEDED(hr) && state->vt == VT_I4 && m_facts.state) state->lVal |= m_facts.state();
    return hr;
}

HRESULT AccessibleControl::get_accHelp(VARIANT child, BSTR* help) {
    if (childOf(child) > 0) return giveText({}, help);
    return m_standard->get_accHelp(child, help);
}

HRESULT AccessibleControl::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    if (childOf(child) > 0) return S_FALSE;
    return m_standard->get_accHelpTopic(file, child, topic);
}

HRESULT AccessibleControl::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    if (childOf(child) > 0) return giveText({}, shortcut);
    return m_standard->get_accKeyboardShortcut(child, shortcut);
}

HRESULT AccessibleControl::get_accFocus(VARIANT* focus) {
    if (!m_facts.children) return m_standard->get_accFocus(focus);
    if (!focus) return E_POINTER;
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    VariantInit(focus);
    if (GetFocus() != m_hwnd) return S_FALSE;
    const long at = childWith(STATE_SYSTEM_FOCUSED);
    giveLong(focus, at ? at : CHILDID_SELF);
    return S_OK;
}

HRESULT AccessibleControl::get_accSelection(VARIANT* selection) {
    if (!m_facts.children) return m_standard->get_accSelection(selection);
    if (!selection) return E_POINTER;
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    VariantInit(selection);
    const long at = childWith(STATE_SYSTEM_SELECTED);
    if (!at) return S_FALSE;
    giveLong(selection, at);
    return S_OK;
}

HRESULT AccessibleControl::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (childOf(child) > 0) return giveText(m_facts.action, action);
    return m_standard->get_accDefaultAction(child, action);
}

HRESULT AccessibleControl::accSelect(long flags, VARIANT child) {
    const long id = childOf(child);
    if (id <= 0 || !m_facts.choose) return m_standard->accSelect(flags, child);
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    if ((flags & (SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION)) == 0) return E_INVALIDARG;
    if (flags & SELFLAG_TAKEFOCUS) SetFocus(m_hwnd);
    m_facts.choose(static_cast<int>(id));
    return S_OK;
}

HRESULT AccessibleControl::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    const long id = childOf(child);
    if (id <= 0 || !m_facts.childPlace) return m_standard->accLocation(left, top, width, height, child);
    if (!left || !top || !width || !height) return E_POINTER;
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    const RECT r = m_facts.childPlace(static_cast<int>(id));
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

HRESULT AccessibleControl::accNavigate(long direction, VARIANT start, VARIANT* end) {
    const long id = childOf(start);
    if (!m_facts.children || id < 0) return m_standard->accNavigate(direction, start, end);
    if (!end) return E_POINTER;
    VariantInit(end);
    long to = 0;
    if (id == CHILDID_SELF && direction == NAVDIR_FIRSTCHILD) to = 1;
    if (id == CHILDID_SELF && direction == NAVDIR_LASTCHILD) to = m_facts.children;
    if (id == CHILDID_SELF && to == 0) return m_standard->accNavigate(direction, start, end);
    if (id > 0 && (direction == NAVDIR_NEXT || direction == NAVDIR_RIGHT)) to = id + 1;
    if (id > 0 && (direction == NAVDIR_PREVIOUS || direction == NAVDIR_LEFT)) to = id - 1;
    if (to < 1 || to > m_facts.children) return S_FALSE;
    giveLong(end, to);
    return S_OK;
}

HRESULT AccessibleControl::accHitTest(long x, long y, VARIANT* child) {
    if (!m_facts.children || !m_facts.childPlace) return m_standard->accHitTest(x, y, child);
    if (!child) return E_POINTER;
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    const POINT p{x, y};
    for (int i = 1; i <= m_facts.children; ++i) {
        const RECT r = m_facts.childPlace(i);
        if (PtInRect(&r, p)) {
            giveLong(child, i);
            return S_OK;
        }
    }
    return m_standard->accHitTest(x, y, child);
}

HRESULT AccessibleControl::accDoDefaultAction(VARIANT child) {
    const long id = childOf(child);
    if (id <= 0 || !m_facts.choose) return m_standard->accDoDefaultAction(child);
    if (!alive()) return CO_E_OBJNOTCONNECTED;
    m_facts.choose(static_cast<int>(id));
    return S_OK;
}

HRESULT AccessibleControl::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }
HRESULT AccessibleControl::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

}  // namespace quenvor::window::win32
