#include "image/gamma.h"

#include <cmath>

namespace {
GammaTables buildGammaTables() {
    GammaTables tables{};
    for (int i = 0; i < 256; ++i)
        tables.toLinear[i] = static_cast<std::uint16_t>(std::floor(std::pow(i / 255.0, 2.2) * 4095 + 0.5));
    for (int j = 0; j < 4096; ++j)
        tables.toGamma[j] = static_cast<std::uint8_t>(std::floor(std::pow(j / 4095.0, 1 / 2.2) * 255 + 0.5));
    return tables;
}
}  // namespace

const GammaTables gammaTables = buildGammaTables();
