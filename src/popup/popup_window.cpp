// The popup's window: creation, the message handlers, and the effects of its state
// machine carried out on the window.
#include <windows.h>
#include <windowsx.h>

#include "framework/guarded.h"
#include "framework/module.h"
#include "popup/popup_accessible.h"
#include "popup/popup_control.h"
#include "popup/popup_themes.h"
#include "popup/popup_item.h"
#include "popup/popup_window_class.h"

namespace zandle::popup {
namespace {

constexpr DWORD kToolTopmost = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;  // 0x88
// Never activated by the system either (the next window when the active one closes):
// only a click on its body or a screen reader gives it the keyboard.
constexpr DWORD kNoActivate = WS_EX_NOACTIVATE;
// No z-order change, no activation, show, no owner z-order, no WM_WINDOWPOSCHANGING.
constexpr UINT kApplyFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
static_assert(kApplyFlags == 0x654);

constexpr UINT kDpiChanged = 0x02E0;  // WM_DPICHANGED, sent to per-monitor aware hosts' windows

POINT PointOf(LPARAM lParam) noexcept { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

CPopupControl::CPopupControl()
    : paintManager_(std::make_unique<CPopupThemeOffice2000>()),
      imageManager_(new drawing::CImageManager),
      setLayeredAttributes_(drawing::BoundSetLayeredWindowAttributes()) {
  paintManager_->RefreshTheme();
}

CPopupControl::~CPopupControl() {
  destroying_ = true;
  Close();
  RemoveAllItems();
}

BOOL CPopupControl::Create(HWND parent) noexcept {
  if (hwnd() && ::IsWindow(hwnd())) return TRUE;
  CheckHighContrast();
  const bool layered = setLayeredAttributes_ && machine_.NeedsLayeredStyle();
  const ATOM windowClass = PopupWindowClass(&CPopupControl::WindowProc);
  if (!windowClass) return FALSE;
  const HWND window = ::CreateWindowExW(kToolTopmost | kNoActivate | (layered ? WS_EX_LAYERED : 0), MAKEINTATOM(windowClass), L"",
                                        WS_POPUP, 0, 0, 0, 0, parent, nullptr, fw::ThisModule(), this);
  if (!window) return FALSE;
  machine_.Created(layered);
  notifyWindow_ = parent;
  ::SetWindowRgn(window, nullptr, FALSE);
  return TRUE;
}

void CPopupControl::OnDpiChanged(int dpi, const RECT& suggested) noexcept {
  // Dragged onto a monitor with another DPI: laid out again at the rectangle Windows suggests.
  ScaleLayout(dpi);
  machine_.SetPopupSize({suggested.right - suggested.left, suggested.bottom - suggested.top});
  ::SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Run(machine_.DragEnded({suggested.left, suggested.top, suggested.right, suggested.bottom}));
}

BOOL CPopupControl::Show(HWND parent) noexcept {
  if (!Create(parent) || machine_.popupState() != PopupState::Closed) return FALSE;
  const HWND window = hwnd();
  const std::weak_ptr<char> alive = life_;
  BeginExpanding(TRUE);
  // Screen readers announce it; the owner may have closed it already.
  if (!alive.expired() && ::IsWindow(window)) ::NotifyWinEvent(EVENT_SYSTEM_ALERT, window, OBJID_CLIENT, CHILDID_SELF);
  return TRUE;
}

BOOL CPopupControl::Close() noexcept {
  hotItem_ = pressedItem_ = nullptr;
  DisconnectAccessible();
  const bool hadWindow = hwnd() && ::IsWindow(hwnd());
  const BOOL destroyed = hadWindow ? ::DestroyWindow(hwnd()) : FALSE;
  const Effects closed = machine_.Closed(hadWindow);
  if (!destroying_) Run(closed);  // the last thing Close does: the owner may delete us here
  return hadWindow ? destroyed : FALSE;
}

void CPopupControl::BeginExpanding(BOOL restart) noexcept { Run(machine_.BeginExpanding(restart != FALSE)); }
void CPopupControl::BeginCollapsing() noexcept { Run(machine_.BeginCollapsing()); }
void CPopupControl::BeginShowing() noexcept { Run(machine_.BeginShowing()); }

void CPopupControl::OnItemClick(CPopupItem* item) noexcept {
  if (!item) return;
  if (item->id == kCloseItemId) {
    Close();
  } else {
    Notify(ItemClicked, reinterpret_cast<LPARAM>(item));
  }
}

void CPopupControl::Notify(WPARAM code, LPARAM data) noexcept {
  if (notifyWindow_ && ::IsWindow(notifyWindow_)) ::SendMessageW(notifyWindow_, PopupNotifyMessage, code, data);
}

BOOL CPopupControl::SetLayeredAlpha(int alpha) noexcept {
  const int before = machine_.appliedAlpha();
  const Effects effects = machine_.SetLayeredAlpha(alpha);
  if (!effects.empty()) {
    Run(effects);
    return TRUE;
  }
  // Unchanged is success; a change that reached no layered window is not.
  return machine_.appliedAlpha() == before && (alpha >= 255 ? 255 : alpha < 0 ? 0 : alpha) == before;
}

POINT CPopupControl::GetAnchorPoint() noexcept {
  const Point anchor = machine_.GetAnchorPoint();
  return {anchor.x, anchor.y};
}

bool CPopupControl::Run(const Effects& effects) noexcept {
  const std::weak_ptr<char> alive = life_;
  for (const Effect& effect : effects) {
    switch (effect.kind) {
      case EffectKind::StateChanged:
        Notify(StateChanged, reinterpret_cast<LPARAM>(this));
        if (alive.expired()) return false;
        break;
      case EffectKind::PositionChanged:
        Notify(PositionChanged, reinterpret_cast<LPARAM>(this));
        if (alive.expired()) return false;
        break;
      case EffectKind::StartTimer:
        if (hwnd()) ::SetTimer(hwnd(), static_cast<UINT_PTR>(effect.value), effect.period, nullptr);
        break;
      case EffectKind::KillTimer:
        if (hwnd()) ::KillTimer(hwnd(), static_cast<UINT_PTR>(effect.value));
        break;
      case EffectKind::ApplyCurrentState:
        ApplyFrame(effect);
        break;
      case EffectKind::SetAlpha:
        if (hwnd() && setLayeredAttributes_)
          setLayeredAttributes_(hwnd(), 0, static_cast<BYTE>(effect.value), LWA_ALPHA);
        break;
      case EffectKind::TrackLeave:
        TrackMouseLeave();
        break;
      case EffectKind::Close:
        Close();
        return !alive.expired();
    }
  }
  return true;
}

void CPopupControl::TrackMouseLeave() noexcept {
  if (!hwnd()) return;
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
  ::TrackMouseEvent(&track);
}

void CPopupControl::ApplyFrame(const Effect& effect) noexcept {
  if (!hwnd()) return;
  const Rect& r = effect.rect;
  RECT now{};
  // A fade step changes only the alpha: moving, repainting and updating a layered
  // window that shows the same picture at the same place costs Wine ~0.9 ms a frame.
  const bool unchanged = ::IsWindowVisible(hwnd()) && ::GetWindowRect(hwnd(), &now) && now.left == r.left &&
                         now.top == r.top && now.right == r.right && now.bottom == r.bottom;
  if (!unchanged) {
    ::SetWindowPos(hwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, kApplyFlags);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
  }
  if (effect.value != kKeepAlpha && setLayeredAttributes_ && (::GetWindowLongW(hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED))
    setLayeredAttributes_(hwnd(), 0, static_cast<BYTE>(effect.value), LWA_ALPHA);
  if (!unchanged) ::UpdateWindow(hwnd());
}

LRESULT CALLBACK CPopupControl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  CPopupControl* creating = message == WM_NCCREATE
                                ? static_cast<CPopupControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams)
                                : nullptr;
  CPopupControl* self = BoundTo(hwnd, message, creating, GWLP_USERDATA);
  if (!self || message == WM_NCDESTROY) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return fw::Guarded<LRESULT>(0, [&] { return self->OnMessage(message, wParam, lParam); });
}

LRESULT CPopupControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const HWND window = hwnd();  // the handlers may delete this object
  switch (message) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown(PointOf(lParam));
      break;
    case WM_LBUTTONUP:
      OnLButtonUp(PointOf(lParam));
      return 0;
    case WM_CAPTURECHANGED:
      OnCaptureChanged();
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(PointOf(lParam));
      break;
    case WM_MOUSELEAVE:
      OnMouseMove(POINT{-1, -1});
      return 0;
    case WM_TIMER:
      ::DefWindowProcW(window, message, wParam, lParam);
      OnTimer(wParam);
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_KILLFOCUS:
      OnKillFocus();
      return 0;
    case WM_KEYDOWN:
      if (OnKeyDown(wParam)) return 0;
      break;
    case WM_GETOBJECT:
      return OnGetObject(wParam, lParam);
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
      OnDesktopSettingsChanged();
      break;
    case kDpiChanged:
      if (lParam) OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      break;
  }
  return ::IsWindow(window) ? ::DefWindowProcW(window, message, wParam, lParam) : 0;
}

void CPopupControl::OnPaint() noexcept {
  PAINTSTRUCT paint{};
  const HDC dc = ::BeginPaint(hwnd(), &paint);
  if (dc) {
    const SIZE size = GetPopupSize();
    {
      drawing::CBufferDC buffer(dc, RECT{0, 0, size.cx, size.cy}, buffer_);
      PaintPopup(buffer, size);
    }
  }
  ::EndPaint(hwnd(), &paint);
}

void CPopupControl::OnDesktopSettingsChanged() noexcept {
  CheckHighContrast();
  RedrawControl();
}

void CPopupControl::OnTimer(UINT_PTR id) noexcept { Run(machine_.OnTimer(static_cast<unsigned>(id))); }

void CPopupControl::OnMouseMove(POINT point) noexcept {
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const bool inside = ::PtInRect(&client, point) || pressedItem_;
  if (!Run(machine_.MouseMoved(inside))) return;
  CPopupItem* hit = HitTest(point);
  if (hit == hotItem_) return;
  if (pressedItem_ && hit && hit != pressedItem_) hit = nullptr;
  if (hit == hotItem_) return;
  hotItem_ = hit;
  RedrawControl();
}

void CPopupControl::OnLButtonDown(POINT point) noexcept {
  if (!Run(machine_.ButtonPressed())) return;
  CPopupItem* hit = HitTest(point);
  if (allowMove_ && (!hit || hit->IsInert())) {
    DragLoop();
    return;
  }
  if (!hit) {
    TakeFocus(nullptr);  // a click on the body gives the popup the keyboard
    return;
  }
  if (!hwnd()) return;
  pressedItem_ = hit;
  ::SetCapture(hwnd());
  RedrawControl();
}

void CPopupControl::OnLButtonUp(POINT point) noexcept {
  CPopupItem* item = pressedItem_;
  if (!item) return;
  pressedItem_ = nullptr;
  ::ReleaseCapture();
  RedrawControl();
  // Wine sends the one mouse-leave message while the button is held; without a new
  // request the popup would stay hovered, and never collapse, once the pointer left.
  if (machine_.hovered()) TrackMouseLeave();
  if (item == hotItem_) {
    OnItemClick(item);
  } else {
    OnMouseMove(point);
  }
}

void CPopupControl::OnCaptureChanged() noexcept {
  if (!pressedItem_) return;
  pressedItem_ = nullptr;
  RedrawControl();
}

}  // namespace zandle::popup
