// Random operation sequences on the popup machine; checks its invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "popup/core/popup_machine.h"

namespace {

using namespace zandle::popup;

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  int Int() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return static_cast<int>(v);
  }
  // Mostly small values, sometimes extreme ones.
  int Value() { return (Byte() & 1) ? Int() : static_cast<int>(Byte()) * 8 - 512; }
};

struct Screen : ScreenQueries {
  Reader* in;
  bool TaskbarRect(Rect& r) override {
    if (in->Byte() & 1) return false;
    r = {in->Value(), in->Value(), in->Value(), in->Value()};
    return true;
  }
  Rect WorkAreaFromRect(const Rect&) override { return {in->Value(), in->Value(), in->Value(), in->Value()}; }
  Rect PrimaryWorkArea() override { return {in->Value(), in->Value(), in->Value(), in->Value()}; }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckEffects(const Effects& effects) {
  for (std::size_t i = 0; i < effects.size(); ++i) {
    const Effect& e = effects[i];
    if (e.kind == EffectKind::SetAlpha) Check(e.value >= 0 && e.value <= 255);
    if (e.kind == EffectKind::ApplyCurrentState) Check(e.value == kKeepAlpha || (e.value >= 0 && e.value <= 255));
    if (e.kind == EffectKind::StateChanged) Check(e.value >= 0 && e.value <= 3);
    // Close ends the list.
    if (e.kind == EffectKind::Close) Check(i + 1 == effects.size());
  }
}

std::int64_t Distance(int a, int b) { return a < b ? static_cast<std::int64_t>(b) - a : static_cast<std::int64_t>(a) - b; }

// A step never takes a value farther from its target.
void CheckStep(const PopupFrame& before, const PopupFrame& after, const PopupFrame& target) {
  Check(Distance(after.rect.left, target.rect.left) <= Distance(before.rect.left, target.rect.left));
  Check(Distance(after.rect.top, target.rect.top) <= Distance(before.rect.top, target.rect.top));
  Check(Distance(after.rect.right, target.rect.right) <= Distance(before.rect.right, target.rect.right));
  Check(Distance(after.rect.bottom, target.rect.bottom) <= Distance(before.rect.bottom, target.rect.bottom));
  Check(Distance(after.alpha, target.alpha) <= Distance(before.alpha, target.alpha));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  Screen screen;
  screen.in = &in;
  PopupMachine m(screen);
  m.SetAnimationKind(static_cast<AnimationKind>(in.Byte() % 5));
  m.SetAnimationDelay(in.Byte() & 1 ? static_cast<unsigned>(in.Int()) : in.Byte() * 4u);
  m.SetStepInterval(in.Byte() & 1 ? static_cast<unsigned>(in.Int()) : in.Byte() % 40u);
  m.SetShowDelay(in.Byte() * 10u);
  m.SetTransparency(in.Value());
  m.SetPopupSize({in.Value(), in.Value()});
  if (in.Byte() & 1) m.SetPopupPos({in.Value(), in.Value()});
  m.Created(in.Byte() & 1);

  for (int ops = 0; in.size > 0 && ops < 2000; ++ops) {
    Effects effects;
    const PopupFrame before = m.currentState();
    const PopupFrame target = m.targetState();
    switch (in.Byte() % 14) {
      case 0: effects = m.BeginExpanding(in.Byte() & 1); break;
      case 1: effects = m.BeginCollapsing(); break;
      case 2: effects = m.BeginShowing(); break;
      case 3:
      case 4: {
        const unsigned id = m.popupState() == PopupState::Collapsing ? TimerCollapsing : TimerExpanding;
        effects = m.OnTimer(id);
        if (m.popupState() == PopupState::Expanding || m.popupState() == PopupState::Collapsing) {
          CheckStep(before, m.currentState(), target);
        }
        break;
      }
      case 5: effects = m.OnTimer(TimerShowDelay); break;
      case 6: effects = m.MouseMoved(in.Byte() & 1); break;
      case 7: effects = m.ButtonPressed(); break;
      case 8: effects = m.SetLayeredAlpha(in.Value()); break;
      case 9: effects = m.Closed(in.Byte() & 1); break;
      case 10: effects = m.DragEnded({in.Value(), in.Value(), in.Value(), in.Value()}); break;
      case 11: m.Created(in.Byte() & 1); break;
      case 12: effects = m.SetOpaque(in.Byte() & 1); break;
      case 13: effects = m.SetFocused(in.Byte() & 1); break;
    }
    CheckEffects(effects);
    Check(m.appliedAlpha() >= 0 && m.appliedAlpha() <= 255);
    // High contrast: nothing below 255, whatever comes.
    if (m.opaque()) {
      Check(m.appliedAlpha() == 255);
      for (const Effect& e : effects)
        if (e.kind == EffectKind::SetAlpha || e.kind == EffectKind::ApplyCurrentState)
          Check(e.value == 255 || e.value == kKeepAlpha);
    }
    const int state = static_cast<int>(m.popupState());
    Check(state >= 0 && state <= 3);
    Check(m.stepsLeft() >= 0);
  }
  return 0;
}
