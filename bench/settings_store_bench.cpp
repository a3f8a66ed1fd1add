// Opening and saving the settings key when its file holds many values in one
// section, as a hostile or runaway file would.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/private_user_root.h"
#include "platform/settings_store.h"

namespace {

// A private settings root holding one section of `values` values.
class ManyValuesStore {
 public:
  explicit ManyValuesStore(int values) {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() / ("zirvo-bench-" + std::to_string(random()));
    std::filesystem::create_directories(folder_ / "Kelvor");
    std::string text = "Size=0\n[Filter]\n";
    for (int i = 0; i < values; ++i) {
      const std::string number = std::to_string(i);
      text.append("V").append(number).append("=").append(number).append("\n");
    }
    std::ofstream(folder_ / "Kelvor" / "Zirvo7730QX3Sdk.ini", std::ios::binary) << text;
    zirvo::platform::UsePrivateUserRoot(folder_.string());
  }
  ~ManyValuesStore() {
    zirvo::platform::RestoreUserRoot();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

 private:
  std::filesystem::path folder_;
};

void BM_SettingsOpenManyValues(benchmark::State& state) {
  ManyValuesStore store(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto key = zirvo::platform::OpenUserKey(zirvo::platform::kSettingsKeyPath);
    benchmark::DoNotOptimize(key.get());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SettingsOpenManyValues)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_SettingsSaveIntoManyValues(benchmark::State& state) {
  ManyValuesStore store(static_cast<int>(state.range(0)));
  uint32_t value = 0;
  for (auto _ : state) {
    auto key = zirvo::platform::CreateUserKey(zirvo::platform::kSettingsKeyPath);
    auto filter = key->CreateSubKey("Filter");
    filter->SetValue("Brightness", ++value);
    benchmark::DoNotOptimize(filter->Close() && key->Close());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SettingsSaveIntoManyValues)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
