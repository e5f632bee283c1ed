// Vocabulary of the popup window: animation kinds, states and timer ids.
#pragma once

namespace zandle::popup {

// Values outside 0..3 are possible (set by a host) and animate without visible change.
enum class AnimationKind : int { None = 0, Fade = 1, Slide = 2, Unfold = 3 };

enum class PopupState : int { Closed = 0, Expanding = 1, Showing = 2, Collapsing = 3 };

// Looks of the popup; a host's number outside 0..4 means the plain paint manager.
enum class PopupTheme : int { Office2000 = 0, OfficeXP = 1, Office2003 = 2, MSN = 3, Office2007 = 4, Plain = 5 };

constexpr PopupTheme ThemeFromNumber(int theme) noexcept {
  return theme >= 0 && theme <= 4 ? static_cast<PopupTheme>(theme) : PopupTheme::Plain;
}

// Timer ids of the popup window.
inline constexpr unsigned TimerExpanding = 296;
inline constexpr unsigned TimerCollapsing = 297;
inline constexpr unsigned TimerShowDelay = 304;

}  // namespace zandle::popup
