// The picture of every layout, written for a person to look at and compared with the
// picture pinned beside this file. After a deliberate change of looks, look at the new
// pictures under build/win32/popup-pictures and pin them (tools/pin_survey_pictures.sh).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "picture_file.h"
#include "pinned_picture.h"
#include "popup/popup_control.h"
#include "survey/demo_layouts.h"
#include "survey/survey_layout.h"
#include "surface.h"

namespace zandle::survey {
namespace {

TEST(DemoLayouts, PicturesOfEveryLayout) {
  for (int index = 0; index < kLayoutCount; ++index) {
    popup::CPopupControl popup;
    BuildLayout(popup, index, SurveyTitle(L"ZandleDemo", L"Print"), L"");
    const SIZE size = LayoutSize(index);
    drawing::testing::Surface surface(size.cx, size.cy);
    popup.PaintPopup(surface.dc(), size);
    const std::string name = "layout" + std::to_string(index);
    EXPECT_FALSE(popup::testing::SavePicture(surface, name).empty()) << index;
    EXPECT_TRUE(testing::MatchesPinned(surface, name));
  }
}

}  // namespace
}  // namespace zandle::survey
