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

// What a scene file names: the open row its pictures are read in, and the picture to open
// it by (the front face, or the one picture), in the scene file's folder.
struct SceneTarget {
    int openRow = -1;
    std::string picture;
};

// Reads a scene file of the forms written above: a ".wrl" Background, a ".ivr" Background,
// or a ".ivr" Vista of type "SPHERE" or "CUBE", naming pictures a layout of the format
// table reads. Throws ioException (opening when it cannot be opened, reading, naming path,
// for anything else).
SceneTarget readSceneFile(const std::string& path);
