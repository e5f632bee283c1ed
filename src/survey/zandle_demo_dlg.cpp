#include "survey/zandle_demo_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "drawing/color_manager.h"
#include "framework/module.h"
#include "popup/core/dpi_scale.h"
#include "popup/core/stacking.h"
#include "popup/desktop_settings.h"
#include "popup/popup_item.h"
#include "popup/popup_screen.h"
#include "survey/demo_layouts.h"
#include "survey/survey_client.h"
#include "survey/survey_items.h"
#include "survey/survey_layout.h"
#include "survey/zandle_ex.h"

namespace zandle::survey {
namespace {

enum Control : WORD {
  kAnimationCombo = 1002,
  kShowDelayEdit = 1003,
  kAnimationDelayEdit = 1004,
  kLayoutCombo = 1005,
  kTransparencySlider = 1006,
  kAllowMoveCheck = 1007,
  kMoreButton = 1008,
};
constexpr WORD kMoreMenu = 159;
constexpr WORD kAboutString = 101;
constexpr WORD kAppIcon = 128;
constexpr UINT kAboutCommand = 0x10;
constexpr UINT kSystemCommandMask = 0xFFF0;
constexpr unsigned kMaxAnimationDelay = 60000;
constexpr unsigned kMaxShowDelay = 600000;
constexpr int kInitialTransparency = 200;

constexpr const wchar_t* kAnimationNames[] = {L"None", L"Fade", L"Slide", L"Unfold"};
constexpr const wchar_t* kLayoutNames[] = {
    L"Office 2000 Popup Theme", L"Office XP Popup Theme",   L"Office 2003 PopupTheme", L"MSN Messenger PopupTheme",
    L"Office 2007 PopupTheme",  L"Custom Blue PopupTheme",  L"Custom Black PopupTheme", L"Custom Green PopupTheme",
    L"Custom Red PopupTheme",   L"Tooltip PopupTheme"};

using popup::AnimationKind;

struct Preset {
  AnimationKind animationKind;
  unsigned animationDelay;
  int transparency;
  unsigned showDelay;
};
constexpr Preset kFadeOpaque{AnimationKind::Fade, 500, 255, 3000}, kFadeSurvey{AnimationKind::Fade, 500, 200, 3000},
    kSlide{AnimationKind::Slide, 350, 255, 3000}, kUnfold{AnimationKind::Unfold, 500, 255, 3000};
constexpr Preset kPresets[kLayoutCount] = {kFadeOpaque, kFadeOpaque, kFadeSurvey, kSlide, kFadeSurvey,
                                           kSlide,      kSlide,      kSlide,      kSlide, kUnfold};

void FillCombo(HWND combo, const wchar_t* const* names, size_t count) noexcept {
  if (::SendMessageW(combo, CB_GETCOUNT, 0, 0) > 0) return;
  for (size_t i = 0; i < count; ++i) ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
}

}  // namespace

CZandleDemoDlg::CZandleDemoDlg(SurveyClient& client)
    : client_(client),
      moreButton_(drawing::GetColorManager()),
      icon_(::LoadIconW(fw::ThisModule(), MAKEINTRESOURCEW(kAppIcon))) {}

CZandleDemoDlg::~CZandleDemoDlg() {
  DeleteAll();
  DestroyWindow();
}

void CZandleDemoDlg::DeleteAll() noexcept {
  // A popup that still has a window closes quietly while it is destroyed: no report
  // comes back for an object that is already off the list.
  while (!popups.empty()) {
    CZandleEx* popup = popups.back();
    popups.pop_back();
    delete popup;
  }
  while (!queued.empty()) {
    delete queued.back();
    queued.pop_back();
  }
  activePopup = nullptr;
}

void CZandleDemoDlg::DropGhosts() noexcept {
  for (auto it = popups.begin(); it != popups.end();) {
    CZandleEx* popup = *it;
    if (popup->GetSafeHwnd() && ::IsWindow(popup->GetSafeHwnd())) {
      ++it;
      continue;
    }
    it = popups.erase(it);
    if (activePopup == popup) activePopup = nullptr;
    delete popup;
  }
  if (popups.empty()) EnableControls(true);
}

bool CZandleDemoDlg::Create() noexcept {
  // The template holds a trackbar: its class must be registered first.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  return CreateModeless(fw::ThisModule(), kHostDialogTemplate, nullptr);
}

BOOL CZandleDemoDlg::OnInitDialog() {
  FillCombo(::GetDlgItem(hwnd(), kAnimationCombo), kAnimationNames, std::size(kAnimationNames));
  FillCombo(::GetDlgItem(hwnd(), kLayoutCombo), kLayoutNames, std::size(kLayoutNames));
  UpdateData(false);
  wchar_t about[128] = {};
  if (::LoadStringW(fw::ThisModule(), kAboutString, about, static_cast<int>(std::size(about))) > 0) {
    if (const HMENU system = ::GetSystemMenu(hwnd(), FALSE)) {
      ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(system, MF_STRING, kAboutCommand, about);
    }
  }
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  moreButton_.SubclassDlgItem(kMoreButton, hwnd());
  moreButton_.SetPushButtonStyle(drawing::CThemedButton::kDropDown);
  const HWND slider = ::GetDlgItem(hwnd(), kTransparencySlider);
  ::SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 255));
  SetSliderPosition(kInitialTransparency);
  UpdateData(true);
  ApplyLayoutPreset();
  return TRUE;
}

void CZandleDemoDlg::UpdateData(bool fromControls) noexcept {
  const HWND dialog = hwnd();
  if (!dialog || exchanging_) return;
  // Setting an edit's text sends EN_CHANGE, whose exchange from the controls would read
  // the controls not yet written back into the members.
  exchanging_ = true;
  if (fromControls) {
    const LRESULT layout = ::SendDlgItemMessageW(dialog, kLayoutCombo, CB_GETCURSEL, 0, 0);
    const LRESULT kind = ::SendDlgItemMessageW(dialog, kAnimationCombo, CB_GETCURSEL, 0, 0);
    layoutIndex = static_cast<int>(layout);
    animationKind = static_cast<AnimationKind>(kind);  // the list's index is the kind
    // A value out of range keeps the member as it was: nobody could be asked to fix it.
    BOOL ok = FALSE;
    const UINT delay = ::GetDlgItemInt(dialog, kAnimationDelayEdit, &ok, FALSE);
    if (ok && delay <= kMaxAnimationDelay) animationDelay = delay;
    const UINT show = ::GetDlgItemInt(dialog, kShowDelayEdit, &ok, FALSE);
    if (ok && show <= kMaxShowDelay) showDelay = show;
    allowMove = ::IsDlgButtonChecked(dialog, kAllowMoveCheck) == BST_CHECKED;
  } else {
    ::SendDlgItemMessageW(dialog, kLayoutCombo, CB_SETCURSEL, static_cast<WPARAM>(layoutIndex), 0);
    ::SendDlgItemMessageW(dialog, kAnimationCombo, CB_SETCURSEL, static_cast<WPARAM>(animationKind), 0);
    ::SetDlgItemInt(dialog, kAnimationDelayEdit, animationDelay, FALSE);
    ::SetDlgItemInt(dialog, kShowDelayEdit, showDelay, FALSE);
    ::CheckDlgButton(dialog, kAllowMoveCheck, allowMove ? BST_CHECKED : BST_UNCHECKED);
  }
  exchanging_ = false;
}

int CZandleDemoDlg::SliderPosition() const noexcept {
  if (!hwnd()) return kInitialTransparency;  // no window to ask: the survey's preset
  return static_cast<int>(::SendDlgItemMessageW(hwnd(), kTransparencySlider, TBM_GETPOS, 0, 0));
}

void CZandleDemoDlg::SetSliderPosition(int position) noexcept {
  ::SendDlgItemMessageW(hwnd(), kTransparencySlider, TBM_SETPOS, TRUE, position);
}

void CZandleDemoDlg::ApplyLayoutPreset() noexcept {
  if (layoutIndex >= 0 && layoutIndex < kLayoutCount) {
    const Preset& preset = kPresets[layoutIndex];
    animationKind = preset.animationKind;
    animationDelay = preset.animationDelay;
    SetSliderPosition(preset.transparency);
    showDelay = preset.showDelay;
  }
  UpdateData(false);
}

void CZandleDemoDlg::BuildLayout() {
  if (!activePopup) return;
  const std::wstring title = SurveyTitle(client_.ModelName(), client_.SatisfactionFunctionName());
  survey::BuildLayout(*activePopup, layoutIndex, title, client_.SatisfactionLink());
}

void CZandleDemoDlg::ShowSurveyPopup(int* levelOut) {
  DropGhosts();
  auto popup = std::make_unique<CZandleEx>();
  popup->levelOut = levelOut;
  popup->functionName = client_.SatisfactionFunctionName();
  activePopup = popup.get();
  UpdateData(true);
  const SIZE base = LayoutSize(layoutIndex);
  BuildLayout();
  // Laid out for the DPI of the monitor it appears on: items, fonts and size alike.
  const int dpi = DpiWhereItGoes(*popup, base);
  popup->ScaleLayout(dpi);
  const popup::Size scaled = popup::ScaleSize({base.cx, base.cy}, dpi);
  const SIZE size{scaled.cx, scaled.cy};
  popup->SetAnimation(animationKind);
  // Never shorter than the user asked notifications to stay.
  popup->SetShowDelay(popup::ShowDelayFor(showDelay, popup::MessageDurationSeconds()));
  popup->SetAnimationDelay(animationDelay);
  popup->SetTransparency(SliderPosition() & 0xFF);
  popup->SetPopupSize(size);
  popup->AllowMove(allowMove);
  activePopup = nullptr;
  if (queued.empty() && FitsOnScreen(*popup, size)) {
    ShowPlaced(popup.release());
  } else if (queued.size() < kMaxQueued) {
    queued.push_back(popup.release());
  }
}

int CZandleDemoDlg::DpiWhereItGoes(CZandleEx& popup, SIZE size) {
  const POINT anchor = (popupAnchor.x != -1 || popupAnchor.y != -1) ? popupAnchor : popup.GetAnchorPoint();
  return popup::PopupScreen{}.DpiFor({anchor.x - size.cx, anchor.y - size.cy, anchor.x, anchor.y});
}

POINT CZandleDemoDlg::StackedAnchor(CZandleEx& popup, SIZE size) {
  const POINT anchor =
      (popupAnchor.x != -1 || popupAnchor.y != -1) ? popupAnchor : popup.GetAnchorPoint();
  std::vector<popup::StackedPopup> onScreen;
  for (CZandleEx* p : popups) {
    const POINT a = p->GetAnchorPoint();
    const SIZE s = p->GetPopupSize();
    onScreen.push_back({{a.x, a.y}, {s.cx, s.cy}});
  }
  const popup::Point placed = popup::StackAbove({anchor.x, anchor.y}, {size.cx, size.cy}, onScreen);
  return {placed.x, placed.y};
}

bool CZandleDemoDlg::FitsOnScreen(CZandleEx& popup, SIZE size) {
  if (popups.empty()) return true;  // alone, it stands where its anchor puts it
  const POINT anchor = StackedAnchor(popup, size);
  const popup::Rect covered{anchor.x - size.cx, anchor.y - size.cy, anchor.x, anchor.y};
  const popup::Rect work = popup::PopupScreen{}.WorkAreaFromRect(covered);
  return popup::FitsInWorkArea({anchor.x, anchor.y}, {size.cx, size.cy}, work);
}

void CZandleDemoDlg::PlacePopup(int width, int height) {
  if (activePopup) activePopup->SetPopupPos(StackedAnchor(*activePopup, {width, height}));
}

void CZandleDemoDlg::ShowPlaced(CZandleEx* popup) {
  activePopup = popup;
  const SIZE size = popup->GetPopupSize();
  PlacePopup(size.cx, size.cy);
  popup->Show(hwnd());
  activePopup = nullptr;
  if (!popup->GetSafeHwnd() || !::IsWindow(popup->GetSafeHwnd())) {
    delete popup;  // never on screen: nothing to report, nothing to wait for
    return;
  }
  popups.push_back(popup);
  EnableControls(false);
}

void CZandleDemoDlg::ShowQueued() {
  while (!queued.empty() && FitsOnScreen(*queued.front(), queued.front()->GetPopupSize())) {
    CZandleEx* next = queued.front();
    queued.pop_front();
    ShowPlaced(next);
  }
}

void CZandleDemoDlg::OpenLink(const std::wstring& link) noexcept {
  ::ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOW);
}

void CZandleDemoDlg::EnableControls(bool enable) noexcept {
  for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    ::EnableWindow(child, enable ? TRUE : FALSE);
}

LRESULT CZandleDemoDlg::OnPopupNotify(WPARAM code, LPARAM sender) {
  if (code == popup::ItemClicked) {
    auto* item = reinterpret_cast<popup::CPopupItem*>(sender);
    auto* owner = static_cast<CZandleEx*>(item->owner);
    if (!owner) return 1;
    const SurveyItem clicked = SurveyItemOf(item->id);
    if (clicked == SurveyItem::Link) {
      // An empty link opens nothing: the shell would open whatever it takes "" for.
      const std::wstring& link = static_cast<popup::CHyperLinkPopupItem*>(item)->linkAddress;
      if (!link.empty()) OpenLink(link);
    } else if (const int level = LevelOf(clicked)) {
      client_.ReportSatisfaction(level, owner->functionName);
      if (owner->levelOut) *owner->levelOut = level;
    }
    owner->Close();  // reports the closed state, in which the popup is destroyed
  } else if (code == popup::StateChanged) {
    auto* popup = reinterpret_cast<CZandleEx*>(sender);
    if (popup->GetPopupState() != 0) return 1;
    const auto found = std::find(popups.begin(), popups.end(), popup);
    if (found == popups.end()) return 1;  // not ours, or already being destroyed
    popups.erase(found);
    activePopup = nullptr;
    delete popup;
    ShowQueued();
    if (popups.empty()) EnableControls(true);
  } else if (code == popup::PositionChanged) {
    popupAnchor = reinterpret_cast<CZandleEx*>(sender)->GetAnchorPoint();
  }
  return 1;
}

INT_PTR CZandleDemoDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case popup::PopupNotifyMessage:
      ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, OnPopupNotify(wParam, lParam));
      return TRUE;
    case WM_SYSCOMMAND:
      return (wParam & kSystemCommandMask) == kAboutCommand;
    case WM_PAINT:
      return ::IsIconic(hwnd()) && OnPaintIconic();
    case WM_DESTROY:
      // The popups' windows go with their owner's: none of them can close by itself now.
      DeleteAll();
      return FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return lParam ? OnNotify(*reinterpret_cast<const NMHDR*>(lParam)) : FALSE;
    default:
      return FALSE;
  }
}

void CZandleDemoDlg::OnCommand(WORD id, WORD code) noexcept {
  if (id == kLayoutCombo && code == CBN_SELCHANGE) {
    UpdateData(true);
    ApplyLayoutPreset();
  } else if ((id == kAnimationCombo && code == CBN_SELCHANGE) ||
             ((id == kAnimationDelayEdit || id == kShowDelayEdit) && code == EN_CHANGE) ||
             (id == kAllowMoveCheck && code == BN_CLICKED)) {
    UpdateData(true);
  }
}

INT_PTR CZandleDemoDlg::OnNotify(const NMHDR& header) noexcept {
  if (header.idFrom == kTransparencySlider && header.code == NM_RELEASEDCAPTURE) {
    ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, 0);
    return TRUE;
  }
  if (header.idFrom == kMoreButton && header.code == drawing::CThemedButton::kDropDownNotification) {
    const HMENU menu = ::LoadMenuW(fw::ThisModule(), MAKEINTRESOURCEW(kMoreMenu));
    RECT button{};
    ::GetWindowRect(header.hwndFrom, &button);
    if (menu) {
      ::TrackPopupMenu(::GetSubMenu(menu, 0), TPM_LEFTBUTTON, button.left, button.bottom, 0, hwnd(), nullptr);
      ::DestroyMenu(menu);
    }
    return TRUE;
  }
  return FALSE;
}

bool CZandleDemoDlg::OnPaintIconic() noexcept {
  PAINTSTRUCT paint{};
  const HDC dc = ::BeginPaint(hwnd(), &paint);
  ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  ::GetClientRect(hwnd(), &client);
  const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
  ::DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_);
  ::EndPaint(hwnd(), &paint);
  return true;
}

}  // namespace zandle::survey
