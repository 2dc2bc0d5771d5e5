#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The page of the "Web page, cube faces" layout: an HTML file that shows the six faces
// beside it in the Pannellum viewer (resources/web/pannellum), which is written into the
// folder "pannellum" beside the page, so that the folder works from a file:// URL and
// from any static web server without a network.

// The direction a page opens at, in degrees as the editor's title shows them: heading h
// grows as the view turns right, pitch v is up positive.
struct PageView {
    double heading = 0;
    double pitch = 0;
};

// The largest face side a page holds: larger faces are written at this side. Pannellum
// itself refuses only faces beyond the browser's WebGL MAX_CUBE_MAP_TEXTURE_SIZE, which is
// 4096 on many phones and 2048 on some; six faces of 2048 also keep the page's download
// and the browser's texture memory (72 MB) reasonable.
inline constexpr std::int32_t maxPageFaceSide = 2048;

// The faces in the viewer's cube-map order (front, right, back, left, up, down), as face
// indices.
extern const std::array<int, 6> pageFaceOrder;

// The folder of the viewer's files beside the page.
inline constexpr char pageViewerFolder[] = "pannellum";

// What writePageFiles writes beside the face pictures: the page at pagePath naming the
// faces base_FR.ext ... (the file-name part of base), the faces script base_faces.js
// holding faceBytes (the face files' own bytes, in face order) as data URLs for a page
// opened from a file:// URL, and the viewer's files. Every file goes through
// writeReplacing, so that an open SaveSet commits them with the faces. Throws ioException.
void writePageFiles(const std::string& pagePath, const std::string& base, const std::string& extension,
                    const std::string& title, PageView view, const std::array<std::string, 6>& faceBytes);

// What a page names: the base of its face pictures (in the page's folder) and their
// extension, the title it shows and the direction it opens at (none when the page's
// yaw or pitch is missing or not a number).
struct PageFaces {
    std::string base;
    std::string extension;
    std::string title;
    std::optional<PageView> view;
};

// Reads a page of the form writePageFiles writes. Throws ioException (opening when it
// cannot be opened; reading, naming path, when it is not a page Domecast wrote or names
// anything but six face pictures of one panorama beside it).
PageFaces readWebPage(const std::string& path);
