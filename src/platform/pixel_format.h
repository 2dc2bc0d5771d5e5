#pragma once
#include <cstdint>
#include <span>

// What a frame-buffer configuration offers, or what a caller asks of one: the fields of a
// pixel-format descriptor that take part in choosing a format.
struct PixelFormatDescriptor {
    std::uint32_t flags = 0;      // PixelFormatFlag bits
    std::uint8_t pixelType = 0;   // PixelType
    std::uint8_t colorBits = 0;   // red + green + blue, without alpha
    std::uint8_t redBits = 0;
    std::uint8_t greenBits = 0;
    std::uint8_t blueBits = 0;
    std::uint8_t alphaBits = 0;
    std::uint8_t accumBits = 0;
    std::uint8_t accumRedBits = 0;
    std::uint8_t accumGreenBits = 0;
    std::uint8_t accumBlueBits = 0;
    std::uint8_t accumAlphaBits = 0;
    std::uint8_t depthBits = 0;
    std::uint8_t stencilBits = 0;
    std::uint8_t auxBuffers = 0;
    std::uint32_t layerMask = 0;
};

enum PixelFormatFlag : std::uint32_t {
    drawToWindow = 0x4,
    drawToBitmap = 0x8,
    supportGDI = 0x10,
    supportOpenGL = 0x20,
    genericFormat = 0x40,
};

enum PixelType : std::uint8_t { typeRGBA = 0, typeColorIndex = 1 };

// How well candidate meets request; 0 or less when it is unusable (it lacks a drawing
// capability the request asks for, or scores no points).
int scorePixelFormat(const PixelFormatDescriptor& request, const PixelFormatDescriptor& candidate);

// The 1-based index of the best-scoring candidate, the lowest index on a tie; 0 when
// there are no candidates or none scores above 0.
int pickPixelFormat(std::span<const PixelFormatDescriptor> candidates, const PixelFormatDescriptor& request);
