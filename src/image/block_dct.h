#pragma once
#include <cstdint>

// One 8 x 8 block of a JPEG component: samples 0-255 in rows, top row first, to the
// quantised DCT coefficients a JPEG file holds. libjpeg-turbo keeps its forward DCT
// internal (no public call transforms a single block), so a writer that encodes only
// some blocks of a file transforms those here.

// quant and coefficients in natural (row-major) order, as libjpeg's JQUANT_TBL and
// JBLOCK hold them; zero quantisers count as 1. Coefficients are rounded to nearest and
// held to what an 8-bit baseline encoder carries: DC -1024..1023, AC -1023..1023.
void forwardDctQuantise(const float (&samples)[64], const std::uint16_t (&quant)[64], std::int16_t (&coefficients)[64]);
