#pragma once
#include <string>
#include <string_view>

#include "image/image_io.h"

// The extension of a path's file name: the text from its last '.', case kept; empty when
// the file name has no '.'.
std::string extensionOf(std::string_view path);

// The reader and the writer of a picture by its extension (".bmp", ".tga", ".pcx", ".jpg",
// ".jpeg", ".png"), ignoring case; null for any other extension.
ImageReader readerFor(std::string_view extension);
ImageWriter writerFor(std::string_view extension);
