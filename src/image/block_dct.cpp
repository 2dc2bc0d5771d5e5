#include "image/block_dct.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// basis[u][x] = C(u) / 2 x cos((2x + 1) u pi / 16), C(0) = 1 / sqrt(2), C(u) = 1: the
// orthonormal DCT-II that JPEG's coefficients are scaled to.
struct Basis {
    std::array<std::array<float, 8>, 8> at{};
    Basis() {
        const double pi = std::acos(-1.0);
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x)
                at[u][x] = static_cast<float>((u == 0 ? std::sqrt(0.5) : 1.0) / 2 * std::cos((2 * x + 1) * u * pi / 16));
    }
};

const Basis basis;

}  // namespace

void forwardDctQuantise(const float (&samples)[64], const std::uint16_t (&quant)[64], std::int16_t (&coefficients)[64]) {
    // Rows first, then columns; samples are centred on 0 as JPEG's level shift does.
    float rows[64];
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            float sum = 0;
            for (int x = 0; x < 8; ++x) sum += basis.at[u][x] * (samples[8 * y + x] - 128.0f);
            rows[8 * y + u] = sum;
        }
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            float sum = 0;
            for (int y = 0; y < 8; ++y) sum += basis.at[v][y] * rows[8 * y + u];
            const float q = static_cast<float>(std::max<std::uint16_t>(quant[8 * v + u], 1));
            const float limit = v == 0 && u == 0 ? 1024.0f : 1023.0f;
            coefficients[8 * v + u] =
                static_cast<std::int16_t>(std::clamp(std::nearbyint(sum / q), -limit, v == 0 && u == 0 ? 1023.0f : limit));
        }
}
