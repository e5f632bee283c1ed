// What screen readers see of a popup: an alert named by its title, one child per item.
// The popup disconnects the object when its window goes; from then on every call
// fails with CO_E_OBJNOTCONNECTED, whoever still holds a reference.
#pragma once

#include <windows.h>
#include <oleacc.h>

namespace zandle::popup {

class CPopupControl;

class PopupAccessible final : public IAccessible {
 public:
  // Born with one reference, the popup's.
  explicit PopupAccessible(CPopupControl& popup) noexcept : popup_(&popup) {}
  PopupAccessible(const PopupAccessible&) = delete;
  PopupAccessible& operator=(const PopupAccessible&) = delete;

  void Disconnect() noexcept { popup_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;
  // IDispatch: not offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) noexcept override;
  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) noexcept override;
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) noexcept override;
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) noexcept override;
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) noexcept override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) noexcept override;
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) noexcept override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) noexcept override;
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) noexcept override;
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) noexcept override;

 private:
  ~PopupAccessible() = default;
  // The child's item index, or -1 for the popup itself; false for a child that is not there.
  bool ItemIndex(const VARIANT& child, int& index) const noexcept;
  template <typename Body>
  HRESULT Call(Body&& body) noexcept;

  LONG references_ = 1;
  CPopupControl* popup_;
};

}  // namespace zandle::popup
