#include "shell/test_faces.h"

#include <cstdlib>
#include <string>

#include "image/bgr_image.h"
#include "panorama/six_image.h"
#include "platform/io_exception.h"

void fillTestFaces(SixImage& panorama) {
    const char* folder = std::getenv("DOMECAST_TEST_FACES");
    if (folder == nullptr || *folder == '\0') return;
    for (int i = 0; i < faceCount; ++i) {
        BGRImage* face = panorama.faces[i].get();
        if (face == nullptr || face->pixels == nullptr) continue;
        const std::string path = std::string(folder) + "/face" + std::to_string(i) + ".bmp";
        try {
            const RawImage picture(path.c_str());
            if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) continue;
            face->copyScaled(picture, {0, 0}, picture.size(), {0, 0}, face->size());
        } catch (const ioException&) {
        }
    }
}
