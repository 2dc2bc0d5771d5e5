#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/image_types.h"

struct PhotoMetadata;  // image/photo_metadata.h

// The DCT coefficients of a JPEG file, read once when a photo opens, so that a save at
// the same size writes every block the paint left alone back exactly as it was: its
// decoded pixels stay the file's own, generation after generation.
class JpegBlocks {
public:
    struct State;  // the library's objects, image/jpeg_blocks.cpp
    explicit JpegBlocks(std::unique_ptr<State> state);
    ~JpegBlocks();
    JpegBlocks(const JpegBlocks&) = delete;
    JpegBlocks& operator=(const JpegBlocks&) = delete;

    Size size() const;
    // The picture in cells of 8 x 8 pixels, counted from its top-left corner as the file
    // stores it; the last column and row may be cut by the picture's edge.
    std::int32_t cellColumns() const;
    std::int32_t cellRows() const;

    State& state() { return *state_; }

private:
    std::unique_ptr<State> state_;
};

// Reads the coefficients of the JPEG file held in bytes (kept for the life of the
// result), whose picture size the caller has checked against the pixel budget. Null when its blocks cannot be written back as they are: a file libjpeg
// refuses, or one whose blocks no 8-bit baseline or progressive writer could carry
// (other than grey, YCbCr or RGB, 12-bit, sampling factors that do not divide the
// largest, coefficients out of their range). Never throws.
std::unique_ptr<JpegBlocks> ReadJPEGBlocks(std::shared_ptr<const std::vector<std::uint8_t>> bytes);

// Writes source's picture to path: every block covering a cell marked in touched (one
// byte a cell, cellColumns x cellRows, top row first) encoded with source's own
// quantisation tables and sampling from the picture whose touched cells are in pixels,
// the others in kept, every other block's coefficients as read; then
// metadata's segments, as SaveJPEGPhoto writes them. A block of a subsampled component
// covering several cells is encoded when any of them is marked. kept and pixels: blue,
// green, red, rows bottom-up stride bytes apart, at source's size. The entropy coding is
// the source's: an arithmetic-coded source stays arithmetic-coded, a Huffman-coded one gets
// Huffman tables made for the file (libjpeg's optimize_coding), which a source may not
// have done; progressive sources get libjpeg's standard progression, and the source's
// restart interval is kept. Throws ioException (writing) on failure;
// source is left as it was.
void SaveJPEGBlocks(const char* path, JpegBlocks& source, const std::uint8_t* kept, const std::uint8_t* pixels,
                    std::uint32_t stride,
                    const std::vector<std::uint8_t>& touched, const PhotoMetadata& metadata);
