// One needle meter (Orv Valdris's left meter with its real bitmaps) on an
// offscreen frame of the editor's size: what an idle costs after the meter's
// levels changed, which redraws the meter and nothing else. Counter
// `views_drawn`: views drawn per idle (the page behind the meter and the meter).
#include <benchmark/benchmark.h>

#include <cmath>

#include "controls/needle_meter.h"
#include "gui/offscreen.h"

namespace orv {
namespace {

void BM_NeedleMeterRedrawAfterLevelChange(benchmark::State& state) {
  CFrame* frame = new CFrame(CRect(0, 0, 450, 460), nullptr);
  offscreen::open(frame);
  auto* page = new CViewContainer(CRect(0, 0, 450, 444));
  auto* back = new CBitmap(19000);
  frame->setBackground(back);
  page->setBackground(back);
  back->forget();
  CBitmap* face = new CBitmap(19028);
  CBitmap* cover = new CBitmap(19029);
  CBitmap* lamp = new CBitmap(19030);
  auto* meter = new COldVuMeter(CRect(49, 34, 195, 104), nullptr, 58, face, cover, CPoint(115, 85), CPoint(49, 104),
                                lamp, CPoint(121, 116), 3, 70, 55, 70, CRect(133, 87, 183, 97),
                                CRect(59, 87, 109, 97));
  face->forget();
  cover->forget();
  lamp->forget();
  page->addView(meter);
  frame->addView(page);
  frame->idle();

  uint64_t drawnBefore = frame->getDrawCount();
  int64_t step = 0;
  for (auto _ : state) {
    // A programme-like level: both needles and the readouts move every tick.
    const float level = 0.5f + 0.45f * std::sin(static_cast<float>(step++) * 0.37f);
    meter->setAllValues(level, level > 0.9f ? 1.0f : 0.0f, level * 1.1f, level * 1.2f, level);
    frame->idle();
  }
  state.counters["views_drawn"] =
      benchmark::Counter(static_cast<double>(frame->getDrawCount() - drawnBefore) / static_cast<double>(step));
  frame->close();
}
BENCHMARK(BM_NeedleMeterRedrawAfterLevelChange)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orv

BENCHMARK_MAIN();
