#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "platform/image_types.h"

#include "image/bgr_image.h"

// Which face pixels have changed since the faces were made from a picture, so that saving
// back to that picture recomputes only what sees a change. Starts with everything
// changed: a panorama not made from a picture has nothing to keep.
class FaceChanges {
public:
    static constexpr int faces = 6;

    // Tracks faces of these sizes with nothing changed.
    void start(const std::array<Size, faces>& sizes);
    // Everything changed (a resize, new faces); tracking stops.
    void markAll();
    void mark(int face, std::int32_t column, std::int32_t row);
    // Marks every pixel where after differs from before, two pictures of that face's size.
    void markDifferences(int face, const BGRImage& before, const BGRImage& after);

    // Swaps the marks of a rectangle of face with marks (one a pixel, rows packed): an undo
    // gives back what was unchanged before the edit. False, and nothing swapped, when the
    // faces are not tracked or the rectangle or marks do not fit.
    bool exchangeMarks(int face, Point origin, Size size, std::vector<bool>& marks);
    // The marks of a rectangle of face, rows packed; empty when not tracked or not inside.
    std::vector<bool> marksIn(int face, Point origin, Size size) const;

    // Whether the faces are tracked: start was called and nothing since marked all.
    bool tracking() const { return tracking_; }
    // Whether the tracked face sizes are these.
    bool tracks(const std::array<Size, faces>& sizes) const { return tracking_ && sizes == sizes_; }
    // Changed, or anything out of the tracked faces.
    bool changed(int face, std::int32_t column, std::int32_t row) const;
    bool anyChanged() const;
    // Whether any pixel of the face's columns [left, right) and rows [bottom, top) has
    // changed (everything counts as changed while nothing is tracked).
    bool anyChangedIn(int face, std::int32_t left, std::int32_t bottom, std::int32_t right, std::int32_t top) const;

private:
    bool tracking_ = false;
    std::array<Size, faces> sizes_{};
    std::array<std::vector<std::uint64_t>, faces> bits_;
};
