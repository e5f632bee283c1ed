#include "popup/popup_accessible.h"

#include <string>

#include "drawing/entry_points.h"
#include "framework/guarded.h"
#include "popup/popup_control.h"

namespace zandle::popup {
namespace {

// Children are simple elements: child id n is item n - 1.
constexpr long kSelf = CHILDID_SELF;

HRESULT GiveString(const std::wstring& text, BSTR* out) {
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

void GiveLong(VARIANT* out, long value) noexcept {
  out->vt = VT_I4;
  out->lVal = value;
}

long RoleOf(FocusKind kind) noexcept {
  switch (kind) {
    case FocusKind::Button:
    case FocusKind::Close: return ROLE_SYSTEM_PUSHBUTTON;
    case FocusKind::Link: return ROLE_SYSTEM_LINK;
    default: return ROLE_SYSTEM_STATICTEXT;
  }
}

}  // namespace

// The one exception boundary of every method; a disconnected object touches nothing.
template <typename Body>
HRESULT PopupAccessible::Call(Body&& body) noexcept {
  if (!popup_ || !popup_->GetSafeHwnd()) return CO_E_OBJNOTCONNECTED;
  return fw::Guarded<HRESULT>(E_FAIL, body);
}

bool PopupAccessible::ItemIndex(const VARIANT& child, int& index) const noexcept {
  if (child.vt != VT_I4) return false;
  if (child.lVal == kSelf) {
    index = -1;
    return true;
  }
  if (child.lVal < 1 || child.lVal > popup_->GetItemCount()) return false;
  index = child.lVal - 1;
  return true;
}

HRESULT PopupAccessible::QueryInterface(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// COM may release a proxied object's last reference from another thread.
ULONG PopupAccessible::AddRef() noexcept { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG PopupAccessible::Release() noexcept {
  const ULONG left = static_cast<ULONG>(::InterlockedDecrement(&references_));
  if (left == 0) delete this;
  return left;
}

HRESULT PopupAccessible::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}
HRESULT PopupAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept { return E_NOTIMPL; }
HRESULT PopupAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept { return E_NOTIMPL; }
HRESULT PopupAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) noexcept {
  return E_NOTIMPL;
}

HRESULT PopupAccessible::get_accParent(IDispatch** parent) noexcept {
  if (!parent) return E_POINTER;
  *parent = nullptr;
  return Call([&] {
    // The window's own object, from the system; none without oleacc.
    const auto create = drawing::BoundCreateStdAccessibleObject();
    if (!create) return S_FALSE;
    return create(popup_->GetSafeHwnd(), OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
  });
}

HRESULT PopupAccessible::get_accChildCount(long* count) noexcept {
  if (!count) return E_POINTER;
  *count = 0;
  return Call([&] {
    *count = popup_->GetItemCount();
    return S_OK;
  });
}

HRESULT PopupAccessible::get_accChild(VARIANT child, IDispatch** object) noexcept {
  if (!object) return E_POINTER;
  *object = nullptr;
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    if (index < 0) return QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object));
    return S_FALSE;  // a simple element: its parent answers for it
  });
}

HRESULT PopupAccessible::get_accName(VARIANT child, BSTR* name) noexcept {
  if (!name) return E_POINTER;
  *name = nullptr;
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    return GiveString(index < 0 ? popup_->GetTitle() : popup_->AccessibleNameOf(*popup_->GetItem(index)), name);
  });
}

HRESULT PopupAccessible::get_accValue(VARIANT child, BSTR* value) noexcept {
  if (!value) return E_POINTER;
  *value = nullptr;
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    // A link's value is its address.
    const auto* link = index < 0 ? nullptr : dynamic_cast<const CHyperLinkPopupItem*>(popup_->GetItem(index));
    if (!link || FocusKindOf(*link) != FocusKind::Link) return DISP_E_MEMBERNOTFOUND;
    return GiveString(link->linkAddress, value);
  });
}

HRESULT PopupAccessible::get_accDescription(VARIANT, BSTR* description) noexcept {
  if (!description) return E_POINTER;
  *description = nullptr;
  return Call([] { return DISP_E_MEMBERNOTFOUND; });
}

HRESULT PopupAccessible::get_accRole(VARIANT child, VARIANT* role) noexcept {
  if (!role) return E_POINTER;
  ::VariantInit(role);
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    GiveLong(role, index < 0 ? ROLE_SYSTEM_ALERT : RoleOf(FocusKindOf(*popup_->GetItem(index))));
    return S_OK;
  });
}

HRESULT PopupAccessible::get_accState(VARIANT child, VARIANT* state) noexcept {
  if (!state) return E_POINTER;
  ::VariantInit(state);
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    long bits = 0;
    // Fading in or out (or gone): not there to be read.
    if (popup_->GetPopupState() != static_cast<int>(PopupState::Showing))
      bits |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
    if (index < 0) {
      bits |= STATE_SYSTEM_FOCUSABLE;
      if (popup_->HasKeyboardFocus() && !popup_->GetFocusedItem()) bits |= STATE_SYSTEM_FOCUSED;
    } else {
      const CPopupItem* item = popup_->GetItem(index);
      const FocusKind kind = FocusKindOf(*item);
      if (kind == FocusKind::None) bits |= STATE_SYSTEM_READONLY;
      else bits |= STATE_SYSTEM_FOCUSABLE;
      if (kind == FocusKind::Link) bits |= STATE_SYSTEM_LINKED;
      if (item == popup_->GetHotItem()) bits |= STATE_SYSTEM_HOTTRACKED;
      if (item == popup_->GetPressedItem()) bits |= STATE_SYSTEM_PRESSED;
      if (popup_->HasKeyboardFocus() && item == popup_->GetFocusedItem()) bits |= STATE_SYSTEM_FOCUSED;
    }
    GiveLong(state, bits);
    return S_OK;
  });
}

HRESULT PopupAccessible::get_accHelp(VARIANT, BSTR* help) noexcept {
  if (!help) return E_POINTER;
  *help = nullptr;
  return Call([] { return DISP_E_MEMBERNOTFOUND; });
}

HRESULT PopupAccessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) noexcept {
  if (file) *file = nullptr;
  if (topic) *topic = 0;
  return Call([] { return DISP_E_MEMBERNOTFOUND; });
}

HRESULT PopupAccessible::get_accKeyboardShortcut(VARIANT, BSTR* shortcut) noexcept {
  if (!shortcut) return E_POINTER;
  *shortcut = nullptr;
  return Call([] { return DISP_E_MEMBERNOTFOUND; });
}

HRESULT PopupAccessible::get_accFocus(VARIANT* child) noexcept {
  if (!child) return E_POINTER;
  ::VariantInit(child);
  return Call([&] {
    if (!popup_->HasKeyboardFocus()) return S_FALSE;
    const CPopupItem* item = popup_->GetFocusedItem();
    GiveLong(child, item ? item->index + 1 : kSelf);
    return S_OK;
  });
}

HRESULT PopupAccessible::get_accSelection(VARIANT* children) noexcept {
  if (!children) return E_POINTER;
  ::VariantInit(children);
  return Call([] { return S_FALSE; });
}

HRESULT PopupAccessible::get_accDefaultAction(VARIANT child, BSTR* action) noexcept {
  if (!action) return E_POINTER;
  *action = nullptr;
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    const FocusKind kind = index < 0 ? FocusKind::None : FocusKindOf(*popup_->GetItem(index));
    if (kind == FocusKind::None) return DISP_E_MEMBERNOTFOUND;
    return GiveString(kind == FocusKind::Link ? L"Jump" : L"Press", action);
  });
}

HRESULT PopupAccessible::accSelect(long flags, VARIANT child) noexcept {
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    if (flags != SELFLAG_TAKEFOCUS) return E_INVALIDARG;
    CPopupItem* item = index < 0 ? nullptr : popup_->GetItem(index);
    if (item && FocusKindOf(*item) == FocusKind::None) return E_INVALIDARG;
    return popup_->TakeFocus(item) ? S_OK : S_FALSE;
  });
}

HRESULT PopupAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) noexcept {
  if (!left || !top || !width || !height) return E_POINTER;
  *left = *top = *width = *height = 0;
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    RECT window{};
    if (!::GetWindowRect(popup_->GetSafeHwnd(), &window)) return E_FAIL;
    RECT r = window;
    if (index >= 0) {
      r = popup_->GetItem(index)->itemRect;
      ::OffsetRect(&r, window.left, window.top);
    }
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
  });
}

HRESULT PopupAccessible::accNavigate(long direction, VARIANT start, VARIANT* end) noexcept {
  if (!end) return E_POINTER;
  ::VariantInit(end);
  return Call([&] {
    int index = 0;
    if (!ItemIndex(start, index)) return E_INVALIDARG;
    const int count = popup_->GetItemCount();
    int to = -1;
    if (index < 0) {
      if (direction == NAVDIR_FIRSTCHILD) to = 0;
      else if (direction == NAVDIR_LASTCHILD) to = count - 1;
      else return S_FALSE;  // the window's object knows the popup's siblings
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT) {
      to = index + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT) {
      to = index - 1;
    } else {
      return E_INVALIDARG;
    }
    if (to < 0 || to >= count) return S_FALSE;
    GiveLong(end, to + 1);
    return S_OK;
  });
}

HRESULT PopupAccessible::accHitTest(long x, long y, VARIANT* child) noexcept {
  if (!child) return E_POINTER;
  ::VariantInit(child);
  return Call([&] {
    RECT window{};
    if (!::GetWindowRect(popup_->GetSafeHwnd(), &window)) return E_FAIL;
    const POINT at{x, y};
    if (!::PtInRect(&window, at)) return S_FALSE;
    const CPopupItem* item = popup_->HitTest({x - window.left, y - window.top});
    GiveLong(child, item ? item->index + 1 : kSelf);
    return S_OK;
  });
}

HRESULT PopupAccessible::accDoDefaultAction(VARIANT child) noexcept {
  return Call([&] {
    int index = 0;
    if (!ItemIndex(child, index)) return E_INVALIDARG;
    CPopupItem* item = index < 0 ? nullptr : popup_->GetItem(index);
    if (!item || FocusKindOf(*item) == FocusKind::None) return DISP_E_MEMBERNOTFOUND;
    // Exactly a click; the owner may destroy the popup, and disconnect this object, inside.
    popup_->PressItem(item);
    return S_OK;
  });
}

HRESULT PopupAccessible::put_accName(VARIANT, BSTR) noexcept { return E_NOTIMPL; }
HRESULT PopupAccessible::put_accValue(VARIANT, BSTR) noexcept { return E_NOTIMPL; }

}  // namespace zandle::popup
