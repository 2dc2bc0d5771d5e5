// The table arctangent and square root over a million arguments, one call a value against
// one call for all of them. The arguments are those of the sphere conversion: tangents
// within +-1 on the side faces, squared distances within [0, 2] on the caps.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "image/fast_math.h"

namespace {

constexpr std::size_t count = 1'000'000;

template <class Float>
std::vector<Float> uniform(Float low, Float high) {
    std::mt19937_64 random(34);
    std::uniform_real_distribution<Float> values(low, high);
    std::vector<Float> x(count);
    for (Float& v : x) v = values(random);
    return x;
}

// run(x, out) turns all count arguments into out.
template <class Float, class Run>
void measure(benchmark::State& state, Float low, Float high, Run run) {
    const std::vector<Float> x = uniform(low, high);
    std::vector<Float> out(count);
    for (auto _ : state) {
        run(x.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

void BM_FastAtanSingle(benchmark::State& state) {
    measure(state, -1.0, 1.0, [](const double* x, double* out) {
        for (std::size_t i = 0; i < count; ++i) out[i] = fastAtan(x[i]);
    });
}
BENCHMARK(BM_FastAtanSingle)->Unit(benchmark::kMillisecond);

void BM_FastAtanArray(benchmark::State& state) {
    measure(state, -1.0, 1.0, [](const double* x, double* out) { fastAtan(x, out, count); });
}
BENCHMARK(BM_FastAtanArray)->Unit(benchmark::kMillisecond);

void BM_FastSqrtSingle(benchmark::State& state) {
    measure(state, 0.0f, 2.0f, [](const float* x, float* out) {
        for (std::size_t i = 0; i < count; ++i) out[i] = fastSqrt(x[i]);
    });
}
BENCHMARK(BM_FastSqrtSingle)->Unit(benchmark::kMillisecond);

void BM_FastSqrtArray(benchmark::State& state) {
    measure(state, 0.0f, 2.0f, [](const float* x, float* out) { fastSqrt(x, out, count); });
}
BENCHMARK(BM_FastSqrtArray)->Unit(benchmark::kMillisecond);

}  // namespace
