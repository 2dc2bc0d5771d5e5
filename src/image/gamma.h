#pragma once
#include <array>
#include <cstdint>

// Gamma 2.2 tables for every filtered resampling: byte to 12-bit linear light and back.
struct GammaTables {
    std::array<std::uint16_t, 256> toLinear;  // floor((i/255)^2.2 x 4095 + 0.5)
    std::array<std::uint8_t, 4096> toGamma;   // floor((j/4095)^(1/2.2) x 255 + 0.5)
};

// Built before main runs.
extern const GammaTables gammaTables;

inline std::uint16_t toLinear(std::uint8_t value) { return gammaTables.toLinear[value]; }
inline std::uint8_t toGamma(unsigned linear) { return gammaTables.toGamma[linear]; }
