// Ids of the survey's items. Items carry ids as the popup's plain ints: ItemId and
// SurveyItemOf convert at that boundary, nowhere else.
#pragma once

#include <iterator>

#include "popup/popup_item.h"

namespace zandle::survey {

enum class SurveyItem : int {
  Close = popup::kCloseItemId,
  Link = -2,
  Level1 = -3,
  Level2 = -4,
  Level3 = -5,
  Level4 = -6,
  Level5 = -7,
  Level6 = -8,
};

// The levels a click can report, 1 to 6 in order; the survey shows the first three.
inline constexpr SurveyItem kLevelItems[] = {SurveyItem::Level1, SurveyItem::Level2, SurveyItem::Level3,
                                             SurveyItem::Level4, SurveyItem::Level5, SurveyItem::Level6};
inline constexpr int kSurveyLevels = 3;

constexpr int ItemId(SurveyItem item) noexcept { return static_cast<int>(item); }
constexpr SurveyItem SurveyItemOf(int itemId) noexcept { return static_cast<SurveyItem>(itemId); }

// 1 to 6 for a level item, else 0.
constexpr int LevelOf(SurveyItem item) noexcept {
  for (int n = 0; n < static_cast<int>(std::size(kLevelItems)); ++n)
    if (kLevelItems[n] == item) return n + 1;
  return 0;
}

}  // namespace zandle::survey
