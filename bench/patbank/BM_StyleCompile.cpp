// Compiling a shipped style source: parse, encode, compress.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "StyleBuilder.h"
#include "StyleSourceParser.h"

namespace {

std::string source()
{
    std::ifstream in(std::string(STYLES_SOURCE_ROOT) + "/styles/sources/pop-ballad.style");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void BM_ParseStyleSource(benchmark::State& state)
{
    const std::string text = source();
    for (auto _ : state)
        benchmark::DoNotOptimize(stylec::parseStyleSource(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseStyleSource);

void BM_CompileStyle(benchmark::State& state)
{
    const auto style = *stylec::parseStyleSource(source()).style;
    for (auto _ : state)
        benchmark::DoNotOptimize(stylec::compileStyle(style));
}
BENCHMARK(BM_CompileStyle);

} // namespace
