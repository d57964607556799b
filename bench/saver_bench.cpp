// The saver's hot paths, timed:
//   - the animation tick (MainForm::Timer1_Timer, driven by the headless
//     clock) on a 3840 x 2160 screen, with the picture service serving the
//     decoded picture (the program as it is) and with a decode on every tick
//     (every file looks new at every look), over the headless decoder and,
//     where the Qt runtime is built, over the Qt decoder with a real
//     3840 x 2160 JPEG (VELLORA_BENCH_JPEG);
//   - one burst of random circles on a 3840-pixel-wide surface (headless,
//     and the Qt raster drawing layer on the offscreen platform).
// Each benchmark reports p50, p99 and max of its per-iteration times (ms) as
// counters; bench/report.py turns them into the table.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/headless/headless.h"
#include "saver/main_form.h"
#include "saver/random_circles.h"
#include "settings/settings.h"
#include "startup/main.h"
#include "app/process.h"

#ifdef VELLORA_BENCH_QT
#include <QApplication>

#include "platform/qt/pictures.h"
#include "platform/qt/platform.h"
#include "runtime/ini_file.h"
#endif

namespace vellora::bench {
namespace {

constexpr int kScreenWidth = 3840;
constexpr int kScreenHeight = 2160;
constexpr const char* kFakePicture = "c:\\pictures\\big.jpg";

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(benchmark::State& state, const std::vector<double>& ms) {
    state.counters["p50_ms"] = percentile(ms, 50);
    state.counters["p99_ms"] = percentile(ms, 99);
    state.counters["max_ms"] = percentile(ms, 100);
}

std::string jpeg_path() {
    const char* path = std::getenv("VELLORA_BENCH_JPEG");
    return path != nullptr ? path : "";
}

// One saver process on a 3840 x 2160 headless screen, started with "/S",
// its pictures coming from `decoder` (the headless one when null).
class SaverRun {
public:
    SaverRun(rt::PictureDecoder* decoder, bool decode_every_tick, const std::string& picture) {
        headless_.set_screen(rt::ScreenMetrics{kScreenWidth, kScreenHeight, 15.0F, 15.0F, {}});
        // The headless decoder's picture: as large as the screen.
        if (decoder == nullptr && !picture.empty()) {
            headless_.add_picture(picture, kScreenWidth * 2540 / 96, kScreenHeight * 2540 / 96);
        }
        rt::PictureDecoder& base = decoder != nullptr ? *decoder : headless_.services().picture_decoder();
        if (decode_every_tick) fresh_.emplace(base);
        headless_.use_decoder(fresh_ ? static_cast<rt::PictureDecoder&>(*fresh_) : base);
        headless_.ini().write(settings::kImageSection, settings::kImageKey, picture);
        process_.emplace(headless_, [](Window window, Process& p) -> std::unique_ptr<rt::Form> {
            if (window != Window::MainForm) throw std::logic_error("only the saver window runs here");
            return std::make_unique<MainForm>(p);
        });
        headless_.set_command_line("/S");
        Main(*process_);
        saver_ = dynamic_cast<MainForm*>(process_->existing(Window::MainForm));
        if (saver_ == nullptr || !saver_->loaded()) throw std::runtime_error("the saver did not start");
    }

    void tick() { headless_.advance(400); }
    [[nodiscard]] MainForm& saver() { return *saver_; }
    [[nodiscard]] Process& process() { return *process_; }
    [[nodiscard]] headless::HeadlessPlatform& headless() { return headless_; }
    [[nodiscard]] std::size_t decodes() { return process_->app().pictures().decodes(); }

private:
    ScratchDir dir_;
    headless::HeadlessPlatform headless_{dir_.path()};
    std::optional<FreshIdentity> fresh_;
    std::optional<Process> process_;
    MainForm* saver_ = nullptr;
};

void run_ticks(benchmark::State& state, SaverRun& run) {
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(state.max_iterations));
    const std::size_t decodes_before = run.decodes();
    for (auto _ : state) {
        const auto start = Clock::now();
        run.tick();
        const double elapsed = ms_since(start);
        state.SetIterationTime(elapsed / 1000.0);
        ms.push_back(elapsed);
    }
    report(state, ms);
    state.counters["decodes_per_tick"] =
        static_cast<double>(run.decodes() - decodes_before) / static_cast<double>(ms.empty() ? 1 : ms.size());
    // One decoded copy for both elements when the cache serves the picture.
    const auto& shown1 = run.saver().Image1.GetPicture();
    const auto& shown2 = run.saver().Image2.GetPicture();
    state.counters["shared_picture"] = shown1 && shown1 == shown2 ? 1 : 0;
    // Keep the recorded circles from piling up between benchmarks.
    if (auto* record = run.headless().window("MainForm")) record->circles.clear();
}

void BM_Tick_Headless(benchmark::State& state) {
    const bool every_tick = state.range(0) != 0;
    SaverRun run(nullptr, every_tick, kFakePicture);
    run.tick();
    run_ticks(state, run);
}
BENCHMARK(BM_Tick_Headless)->ArgName("decode_every_tick")->Arg(0)->Arg(1)->Iterations(20000)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_CircleBurst_Headless(benchmark::State& state) {
    SaverRun run(nullptr, false, "");
    MainForm& surface = run.saver();  // the whole 3840-pixel-wide screen
    auto* record = run.headless().window("MainForm");
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = Clock::now();
        DrawRandomCircle(run.process(), surface);
        const double elapsed = ms_since(start);
        state.SetIterationTime(elapsed / 1000.0);
        ms.push_back(elapsed);
        state.PauseTiming();
        record->circles.clear();
        state.ResumeTiming();
    }
    report(state, ms);
    state.counters["surface_px"] = static_cast<double>(surface.Width()) / 15.0;
}
BENCHMARK(BM_CircleBurst_Headless)->Iterations(5000)->UseManualTime()->Unit(benchmark::kMicrosecond);

#ifdef VELLORA_BENCH_QT

void BM_Tick_QtJpeg(benchmark::State& state) {
    const bool every_tick = state.range(0) != 0;
    const std::string path = jpeg_path();
    if (path.empty()) {
        state.SkipWithError("VELLORA_BENCH_JPEG names no 3840 x 2160 JPEG");
        return;
    }
    qt::QtPictureDecoder decoder([] { return 96.0; });
    SaverRun run(&decoder, every_tick, path);
    run.tick();
    run_ticks(state, run);
}
BENCHMARK(BM_Tick_QtJpeg)->ArgName("decode_every_tick")->Arg(0)->Iterations(2000)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tick_QtJpeg)->ArgName("decode_every_tick")->Arg(1)->Iterations(40)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// The tick handler of the saver running on the Qt runtime itself (offscreen
// platform): real widgets, the raster drawing layer and the Qt decoder. The
// benchmark calls the handler directly (the window's own timer is off), so
// the figure is the handler's time; the repaint that follows (the moved
// images' old and new boxes, a burst's circles) is timed on its own.
void BM_Tick_QtRuntime(benchmark::State& state) {
    const std::string path = jpeg_path();
    if (path.empty()) {
        state.SkipWithError("VELLORA_BENCH_JPEG names no 3840 x 2160 JPEG");
        return;
    }
    ScratchDir dir;
    qt::Options options;
    options.paths = qt::Paths{dir.path() / "config", dir.path() / "data", dir.path() / "run", dir.path()};
    options.arguments = "/S";
    options.lock_override = false;
    options.ask_gsettings = false;
    rt::IniFile(options.paths.settings_file()).write(settings::kImageSection, settings::kImageKey, path);
    qt::QtPlatform platform(options);
    Process process(platform, [](Window window, Process& p) -> std::unique_ptr<rt::Form> {
        if (window != Window::MainForm) throw std::logic_error("only the saver window runs here");
        return std::make_unique<MainForm>(p);
    });
    Main(process);
    auto* saver = dynamic_cast<MainForm*>(process.existing(Window::MainForm));
    if (saver == nullptr || !saver->Image2.GetPicture()) {
        state.SkipWithError("the saver did not start with its picture");
        return;
    }
    saver->Timer1.SetEnabled(false);
    std::vector<double> ms;
    std::vector<double> repaint_ms;
    ms.reserve(static_cast<std::size_t>(state.max_iterations));
    repaint_ms.reserve(static_cast<std::size_t>(state.max_iterations));
    QCoreApplication::processEvents();
    for (auto _ : state) {
        const auto start = Clock::now();
        saver->Timer1_Timer();
        const double elapsed = ms_since(start);
        state.SetIterationTime(elapsed / 1000.0);
        ms.push_back(elapsed);
        const auto painted = Clock::now();
        QCoreApplication::processEvents();  // the repaints, outside the tick's time
        repaint_ms.push_back(ms_since(painted));
    }
    report(state, ms);
    state.counters["repaint_p50_ms"] = percentile(repaint_ms, 50);
    state.counters["repaint_p99_ms"] = percentile(repaint_ms, 99);
    state.counters["surface_px"] = static_cast<double>(saver->ScaleWidth() / platform.windows().twips_per_pixel_x());
    state.counters["shared_picture"] = saver->Image1.GetPicture() == saver->Image2.GetPicture() ? 1 : 0;
}
BENCHMARK(BM_Tick_QtRuntime)->Iterations(720)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A borderless form as large as a 3840 x 2160 screen on the Qt runtime;
// its circles go into the form's raster drawing layer (a QImage).
class Canvas final : public rt::Form {
public:
    explicit Canvas(rt::App& app) : rt::Form(app, "Canvas") { design_.border = rt::BorderStyle::None; }
};

void BM_CircleBurst_Qt(benchmark::State& state) {
    ScratchDir dir;
    qt::Options options;
    options.paths = qt::Paths{dir.path() / "config", dir.path() / "data", dir.path() / "run", dir.path()};
    options.ask_gsettings = false;
    qt::QtPlatform platform(options);
    Process process(platform, [](Window, Process&) -> std::unique_ptr<rt::Form> {
        throw std::logic_error("no program window runs here");
    });
    Canvas canvas(process.app());
    canvas.Load();
    const float tw = platform.windows().twips_per_pixel_x();
    canvas.Move(0, 0, kScreenWidth * tw, kScreenHeight * platform.windows().twips_per_pixel_y());
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = Clock::now();
        DrawRandomCircle(process, canvas);
        const double elapsed = ms_since(start);
        state.SetIterationTime(elapsed / 1000.0);
        ms.push_back(elapsed);
    }
    report(state, ms);
    state.counters["surface_px"] = static_cast<double>(canvas.Width() / tw);
    canvas.Unload();
}
BENCHMARK(BM_CircleBurst_Qt)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);

#endif

}  // namespace
}  // namespace vellora::bench

int main(int argc, char** argv) {
#ifdef VELLORA_BENCH_QT
    // The Qt runtime's windows without a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
