#pragma once
#include <cstdint>

#include "image/pcx_write.h"

// The settings PCX output reads its options from.
inline constexpr const char pcxColormapSetting[] = "PCXColormap";
inline constexpr const char pcxDitherSetting[] = "PCXDither";
inline constexpr const char pcxResizeSetting[] = "PCXResize";
// The dithering threshold's range.
inline constexpr int pcxDitherLowest = 0, pcxDitherHighest = 255;

// "PCXColormap" (empty), "PCXDither" (160) and "PCXResize" (true), user branch first, with
// those defaults when absent; the threshold is kept within 0 ... 255.
PCXWriteOptions readPCXWriteOptions();
