// Reading the user's store index at start-up and listing a metre from it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <random>

#include "core/FileIO.h"
#include "core/InfoRecord.h"
#include "core/StoreIndex.h"
#include "core/StyleStore.h"

namespace {

melodrift::patbank::StoreIndex indexOf(int styles)
{
    melodrift::patbank::StoreIndex index;
    for (int i = 1; i <= styles; ++i) {
        index.list.push_back({i, 1, 1000, 0});
        tagStyleInfo info = melodrift::patbank::initialInfo();
        info.id = i;
        info.metre = i % 4;
        info.categories[0] = static_cast<int8_t>(i % 12);
        std::strcpy(info.name, "Style");
        index.details.push_back(info);
    }
    return index;
}

void BM_ParseStoreIndex(benchmark::State& state)
{
    const auto bytes = melodrift::patbank::serializeStoreIndex(indexOf(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(melodrift::patbank::parseStoreIndex(bytes, nullptr));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseStoreIndex)->RangeMultiplier(8)->Range(16, 4096);

void BM_ListMetreWithCategories(benchmark::State& state)
{
    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() / ("patbank-bench-" + std::to_string(rd()));
    std::filesystem::create_directories(root / "user");
    melodrift::patbank::writeFileDurably((root / "user" / "catalog.idx").string(),
                              melodrift::patbank::serializeStoreIndex(indexOf(static_cast<int>(state.range(0)))));
    melodrift::patbank::StyleStore store((root / "lib").string(), (root / "user").string());
    store.open();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.stylesOfMetre(0, 0x0F));
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_ListMetreWithCategories)->RangeMultiplier(8)->Range(16, 4096);

} // namespace
