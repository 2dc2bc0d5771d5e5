#pragma once
#include <string>

// The small VRML97 files that tell a panorama viewer which images to show. Image names in
// them are relative: the file-name part of base followed by a suffix and the extension,
// so a scene file sits beside its images. Lines end in CR LF.

// A Background node naming the six face images base_FR.ext ... base_DN.ext. Returns 0;
// throws ioException (opening, or writing when a write or the close fails).
int writeBackgroundScene(const std::string& path, const std::string& base, const std::string& extension);

// A LivePicture Vista node naming the one image base.ext; type is "SPHERE" or "CUBE".
void writeVistaScene(const std::string& path, const std::string& base, const std::string& extension,
                     const std::string& type);
