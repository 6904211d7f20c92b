// The bar grid with a long song: laying out on a resize and a full repaint
// with chord labels in every bar, in a window-sized view and with all 500
// bars in view at once.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

#include "SongModel.h"
#include "TShowBarsPanel.h"

namespace melodrift {
namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "screens_bench";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(argc, argv);
    return app;
}

class ChordGrid : public TShowBarsPanel {
public:
    using TShowBarsPanel::TShowBarsPanel;

protected:
    void DrawContent(QPainter& p, int bar, int x, int y) override
    {
        DrawChord(p, x + 10, y + 4, (bar * 7) % 48);
        DrawChord(p, x + 70, y + 4, (bar * 5 + 1) % 48);
    }
};

constexpr int kBars = 500;

void BM_BarGridLayout(benchmark::State& state)
{
    BarGridLayout g;
    g.SetBarCount(kBars);
    int w = 800;
    for (auto _ : state) {
        w = w == 800 ? 1000 : 800;
        g.Resize(w, 600, false);
        int bars = 0;
        for (int y = 2; y < 600; y += 11)
            for (int x = 0; x < w; x += 7)
                bars += g.HitTest(x, y, true, false).bar;
        benchmark::DoNotOptimize(bars);
    }
}
BENCHMARK(BM_BarGridLayout);

void BM_BarGridRepaint(benchmark::State& state)
{
    App();
    TSongModel song;
    song.key = 10;
    song.SetFlag(kFlagChordLetters, true);
    ChordGrid view(&song);
    const int height = state.range(0) ? (kBars / 8 + 1) * 55 + 2 : 700;
    view.resize(1000, height);
    view.SetBarCount(kBars);
    view.SetCursor(3, 40);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&image);
        benchmark::ClobberMemory();
    }
    state.counters["bars_in_view"] = view.Layout().EndVisibleBar() - view.Layout().FirstVisibleBar();
}
BENCHMARK(BM_BarGridRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace melodrift
