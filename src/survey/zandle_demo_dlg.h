// The hidden host dialog that owns the survey popups: it builds one popup per survey
// request, stacks it above the popups still on screen, turns a level click into a
// satisfaction report and destroys each popup once it has closed. Its controls are the
// storage through which the popup options pass; nobody sees them.
#pragma once

#include <windows.h>

#include <deque>
#include <list>
#include <memory>
#include <string>

#include "drawing/themed_button.h"
#include "framework/dialog.h"
#include "framework/gdi_handles.h"
#include "popup/core/popup_types.h"

namespace zandle::survey {

class CZandleEx;
class SurveyClient;

inline constexpr unsigned short kHostDialogTemplate = 102;

class CZandleDemoDlg : public fw::Dialog {
 public:
  explicit CZandleDemoDlg(SurveyClient& client);
  // Destroys the popups still open, newest first, then the window.
  ~CZandleDemoDlg() override;

  // Creates the (never shown) window from its template, with no parent.
  bool Create() noexcept;

  // Adds one popup and returns at once. `levelOut` receives the level the user picks,
  // after the survey export has returned. A popup that would not fit wholly above those
  // on screen waits in `queued` until one closes; past kMaxQueued it is dropped unseen.
  void ShowSurveyPopup(int* levelOut);
  void PlacePopup(int width, int height);
  void ApplyLayoutPreset() noexcept;
  void BuildLayout();
  void EnableControls(bool enable) noexcept;
  LRESULT OnPopupNotify(WPARAM code, LPARAM sender);
  // Control values into the members (`fromControls`) or the members into the controls.
  void UpdateData(bool fromControls) noexcept;

  // Members the controls exchange with, and the state of the open popups.
  int layoutIndex = 2;
  popup::AnimationKind animationKind = popup::AnimationKind::Fade;
  unsigned animationDelay = 500;
  unsigned showDelay = 3000;
  BOOL allowMove = TRUE;
  POINT popupAnchor{-1, -1};
  std::list<CZandleEx*> popups;
  CZandleEx* activePopup = nullptr;
  // Built, not yet shown, oldest first; owned like `popups`.
  std::deque<CZandleEx*> queued;
  static constexpr size_t kMaxQueued = 4;

 protected:
  // Opens a survey link in the shell.
  virtual void OpenLink(const std::wstring& link) noexcept;

  BOOL OnInitDialog() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnCommand(WORD id, WORD code) noexcept;
  INT_PTR OnNotify(const NMHDR& header) noexcept;
  bool OnPaintIconic() noexcept;
  // Where `popup` of `size` goes among the popups on screen, and whether it fits there.
  POINT StackedAnchor(CZandleEx& popup, SIZE size);
  int DpiWhereItGoes(CZandleEx& popup, SIZE size);
  bool FitsOnScreen(CZandleEx& popup, SIZE size);
  // Places and shows `popup` (owned from here on); one whose window cannot be created is destroyed.
  void ShowPlaced(CZandleEx* popup);
  void ShowQueued();
  // Popups whose window is gone (destroyed with the host, or never created) leave the list.
  void DropGhosts() noexcept;
  void DeleteAll() noexcept;
  int SliderPosition() const noexcept;
  void SetSliderPosition(int position) noexcept;

  SurveyClient& client_;
  drawing::CThemedButton moreButton_;
  HICON icon_ = nullptr;
  bool exchanging_ = false;
};

}  // namespace zandle::survey
