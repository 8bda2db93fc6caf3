// Benchmarks against the floor: one local clock reading, which is all that a
// ShiftClass call that announces nothing has to do besides comparing numbers.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "access/clsPassword.h"
#include "access/pass_table.h"
#include "dutygate/dutygate.h"
#include "shift/calculation.h"
#include "shift/class_settings_save.h"
#include "shift/clsShiftClass.h"
#include "shift/frmClass.h"
#include "store/location.h"

namespace fs = std::filesystem;
using namespace dg;

namespace {

// A fresh working directory for one benchmark; removed when it ends.
class WorkDir {
public:
    WorkDir() {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "dutygate-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        fs::current_path(dir_);
    }
    ~WorkDir() {
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    const fs::path& Path() const { return dir_; }

private:
    fs::path previous_, dir_;
};

// A clock reading outside every change window of the default settings.
shift::ClockReading Quiet() { return {10 * 3600 + 30, 46363}; }

void BM_Floor_LocalClockReading(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(shift::ReadLocalClock());
}
BENCHMARK(BM_Floor_LocalClockReading);

void BM_ShiftClass_Controller(benchmark::State& state) {
    WorkDir dir;
    shift::clsShiftClass controller;
    for (auto _ : state) benchmark::DoNotOptimize(controller.ShiftClassAt(shift::ReadLocalClock()));
}
BENCHMARK(BM_ShiftClass_Controller);

void BM_ShiftClass_CalculationOnly(benchmark::State& state) {
    WorkDir dir;
    shift::clsShiftClass controller;
    for (auto _ : state) benchmark::DoNotOptimize(controller.ShiftClassAt(Quiet()));
}
BENCHMARK(BM_ShiftClass_CalculationOnly);

void BM_ShiftClass_InvokeByDispid(benchmark::State& state) {
    WorkDir dir;
    dg_object* obj = nullptr;
    if (dg_create_object("Dutygate.clsShiftClass", &obj) != 0) return state.SkipWithError(dg_last_error());
    int32_t dispid = 0;
    dg_get_dispid(obj, "ShiftClass", &dispid);
    dg_variant result{};
    for (auto _ : state) benchmark::DoNotOptimize(dg_invoke(obj, dispid, nullptr, 0, &result));
    dg_release(obj);
}
BENCHMARK(BM_ShiftClass_InvokeByDispid);

void BM_ShiftClass_InvokeByName(benchmark::State& state) {
    WorkDir dir;
    dg_object* obj = nullptr;
    if (dg_create_object("Dutygate.clsShiftClass", &obj) != 0) return state.SkipWithError(dg_last_error());
    dg_variant result{};
    for (auto _ : state) {
        int32_t dispid = 0;
        dg_get_dispid(obj, "ShiftClass", &dispid);
        benchmark::DoNotOptimize(dg_invoke(obj, dispid, nullptr, 0, &result));
    }
    dg_release(obj);
}
BENCHMARK(BM_ShiftClass_InvokeByName);

template <typename T>
void BM_Create_ExistingDatabase(benchmark::State& state) {
    WorkDir dir;
    { T first; }
    for (auto _ : state) {
        T object;
        benchmark::DoNotOptimize(&object);
    }
}
BENCHMARK(BM_Create_ExistingDatabase<shift::clsShiftClass>)
    ->Name("BM_Create_clsShiftClass_ExistingDatabase")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create_ExistingDatabase<access::clsPassword>)
    ->Name("BM_Create_clsPassword_ExistingDatabase")
    ->Unit(benchmark::kMillisecond);

template <typename T>
void BM_Create_EmptyFolder(benchmark::State& state) {
    WorkDir dir;
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all("mdb");
        state.ResumeTiming();
        T object;
        benchmark::DoNotOptimize(&object);
    }
}
BENCHMARK(BM_Create_EmptyFolder<shift::clsShiftClass>)
    ->Name("BM_Create_clsShiftClass_EmptyFolder")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create_EmptyFolder<access::clsPassword>)
    ->Name("BM_Create_clsPassword_EmptyFolder")
    ->Unit(benchmark::kMillisecond);

void BM_Store_LoginCheck(benchmark::State& state) {
    WorkDir dir;
    access::clsPassword controller;
    for (auto _ : state) benchmark::DoNotOptimize(access::CheckLevelPassword(access::kLevelAdmin, "579"));
}
BENCHMARK(BM_Store_LoginCheck)->Unit(benchmark::kMillisecond);

void BM_Store_PasswordChange(benchmark::State& state) {
    WorkDir dir;
    access::clsPassword controller;
    for (auto _ : state) benchmark::DoNotOptimize(access::WriteLevelPassword(access::kLevelAdmin, "579"));
}
BENCHMARK(BM_Store_PasswordChange)->Unit(benchmark::kMillisecond);

void BM_Store_SettingsSave(benchmark::State& state) {
    WorkDir dir;
    shift::clsShiftClass controller;
    shift::ShiftSettings settings;
    shift::CheckedSettings values;
    values.banzhi = 4;
    values.changeTime = {0, 6 * 3600, 12 * 3600, 18 * 3600};
    values.crew = {"甲班", "乙班", "丙班", "丁班"};
    for (auto _ : state) benchmark::DoNotOptimize(shift::WriteClassSettings(values, settings));
}
BENCHMARK(BM_Store_SettingsSave)->Unit(benchmark::kMillisecond);

void BM_Dialog_frmClassLoadShowUnload(benchmark::State& state) {
    WorkDir dir;
    shift::clsShiftClass controller;
    shift::frmClass dialog;
    dialog.ShowModeless();  // the first load starts the GUI and loads fonts
    dialog.Unload();
    for (auto _ : state) {
        dialog.ShowModeless();
        dialog.Unload();
    }
}
BENCHMARK(BM_Dialog_frmClassLoadShowUnload)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
