// The editor's idle on an offscreen frame of the mastering editor's size
// (450 x 460, a full background bitmap, a page of 24 film-strip knobs and
// buttons) with two meter-sized views (146 x 70) that draw a face, two
// needles and two readouts like the needle meters. Compares an idle in which
// both meters changed against one in which nothing changed and against a
// redraw of the whole window. Counter `views_drawn`: views drawn per idle.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "gui/offscreen.h"
#include "gui/vstgui.h"

namespace orv {
namespace {

CBitmap* gradient(int w, int h, uint32_t seed) {
  std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels[static_cast<size_t>(y) * w + x] =
          0xff000000u | ((x * 255 / w) << 16) | ((y * 255 / h) << 8) | ((seed * 37 + x * y) & 0xff);
  return new CBitmap(w, h, pixels.data());
}

// Draws like the needle meter: face bitmap, two antialiased needles of five
// lines each, two readouts.
class MeterLikeView : public CControl {
 public:
  MeterLikeView(const CRect& size, CBitmap* face) : CControl(size, nullptr, 58, face) {}
  void draw(CDrawContext* context) override {
    background->draw(context, size);
    char text[32];
    std::snprintf(text, sizeof text, "%2.2fdB", 20 * std::log10(0.1 + value));
    context->setFont(kNormalFontVerySmall);
    context->setFontColor(MakeCColor(100, 100, 105));
    context->drawString(text, CRect(size.left + 84, size.top + 53, size.left + 134, size.top + 63), kCenterText);
    context->drawString(text, CRect(size.left + 10, size.top + 53, size.left + 60, size.top + 63), kCenterText);
    context->setDrawMode(kAntiAliasing);
    const CPoint pivot(size.left + 72, size.top + 82);
    for (int needle = 0; needle < 2; ++needle) {
      const double angle = 5 * M_PI / 6 - 2 * M_PI / 3 * std::pow((value + needle * 0.1) / 1.44, 1.2);
      context->setFrameColor(needle ? MakeCColor(240, 40, 40) : MakeCColor(100, 100, 105));
      const double r0 = needle ? 55 : 3, r1 = 70;
      for (const CPoint d : {CPoint(1, 0), CPoint(0, 0), CPoint(1, 1), CPoint(0, 1), CPoint(0.5, 0.5)}) {
        const CPoint p = pivot + d;
        context->drawLine(CPoint(p.x + r0 * std::cos(angle), p.y - r0 * std::sin(angle)),
                          CPoint(p.x + r1 * std::cos(angle), p.y - r1 * std::sin(angle)));
      }
    }
    setDirty(false);
  }
};

struct EditorLikeFrame {
  EditorLikeFrame() {
    frame = new CFrame(CRect(0, 0, 450, 460), nullptr);
    offscreen::open(frame);
    CBitmap* back = gradient(450, 460, 1);
    frame->setBackground(back);
    auto* page = new CViewContainer(CRect(0, 0, 450, 444));
    page->setBackground(back);
    back->forget();
    CBitmap* strip = gradient(54, 54 * 41, 2);
    for (int i = 0; i < 24; ++i) {
      const CCoord x = 10 + (i % 8) * 55, y = 160 + (i / 8) * 80;
      auto* knob = new CAnimKnob(CRect(x, y, x + 54, y + 54), nullptr, i, 41, 54, strip);
      knob->setValue(i / 24.0f);
      page->addView(knob);
    }
    strip->forget();
    CBitmap* face = gradient(146, 70, 3);
    left = new MeterLikeView(CRect(49, 34, 195, 104), face);
    right = new MeterLikeView(CRect(256, 34, 402, 104), face);
    face->forget();
    page->addView(left);
    page->addView(right);
    frame->addView(page);
    frame->idle();
  }
  ~EditorLikeFrame() { frame->close(); }
  CFrame* frame;
  MeterLikeView* left;
  MeterLikeView* right;
};

void BM_IdleTwoMetersChanged(benchmark::State& state) {
  EditorLikeFrame editor;
  const uint64_t before = editor.frame->getDrawCount();
  float v = 0.1f;
  for (auto _ : state) {
    v = v > 1.2f ? 0.1f : v + 0.013f;
    editor.left->setValue(v);
    editor.right->setValue(1.3f - v);
    editor.frame->idle();
  }
  state.counters["views_drawn"] =
      static_cast<double>(editor.frame->getDrawCount() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleTwoMetersChanged)->Unit(benchmark::kMicrosecond);

void BM_IdleNothingChanged(benchmark::State& state) {
  EditorLikeFrame editor;
  const uint64_t before = editor.frame->getDrawCount();
  for (auto _ : state) editor.frame->idle();
  state.counters["views_drawn"] =
      static_cast<double>(editor.frame->getDrawCount() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleNothingChanged)->Unit(benchmark::kMicrosecond);

// The naive comparison: the whole window drawn at every idle.
void BM_IdleWholeWindow(benchmark::State& state) {
  EditorLikeFrame editor;
  const uint64_t before = editor.frame->getDrawCount();
  for (auto _ : state) {
    editor.frame->invalid();
    editor.frame->idle();
  }
  state.counters["views_drawn"] =
      static_cast<double>(editor.frame->getDrawCount() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_IdleWholeWindow)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace orv

BENCHMARK_MAIN();
