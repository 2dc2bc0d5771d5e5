#pragma once

// The format table's rows by the layout they stand for. Open and save rows are counted
// apart: the cylinders and the scene files are open-only, so the photos, sky boxes and
// the web page have other numbers in the two lists.
namespace openRows {
enum : int {
    studioTarga = 0,
    quakeTarga = 1,
    quakeTargaPcx = 2,
    vrmlPng = 3,
    vrmlJpeg = 4,
    ivrBackgroundJpeg = 5,
    ivrBackgroundBmp = 6,
    sphereJpeg = 7,
    sphereBmp = 8,
    stripJpeg = 9,
    stripBmp = 10,
    bryce = 11,
    quickTime = 12,
    photoJpeg = 13,
    photoPng = 14,
    skyJpeg = 15,
    skyPng = 16,
    vrmlScene = 17,
    ivrScene = 18,
    webPage = 19,
};
}  // namespace openRows

namespace saveRows {
enum : int {
    studioTarga = 0,
    quakeTarga = 1,
    quakeTargaPcx = 2,
    vrmlPng = 3,
    vrmlJpeg = 4,
    ivrBackgroundJpeg = 5,
    ivrBackgroundBmp = 6,
    sphereJpeg = 7,
    sphereBmp = 8,
    stripJpeg = 9,
    stripBmp = 10,
    photoJpeg = 11,
    photoPng = 12,
    skyJpeg = 13,
    skyPng = 14,
    webPage = 15,
};
}  // namespace saveRows
