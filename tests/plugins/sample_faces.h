#pragma once
// The sample panorama the paint-program tests paint on, and the check of what the editor
// saved against domecast-cli's apply of the same picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "support/editor_window.h"

inline const char* const sampleFaceNames[] = {"FR", "BK", "LF", "RT", "UP", "DN"};

// Copies the sample's six faces into work (the editor's, to be painted) and original (kept).
inline void copySampleFaces(const TempDir& work, const TempDir& original) {
    for (const char* face : sampleFaceNames) {
        const std::string name = std::string("sample_") + face + ".png";
        std::filesystem::copy_file(std::filesystem::path(DOMECAST_SAMPLE_DIR) / name, work.file(name));
        std::filesystem::copy_file(std::filesystem::path(DOMECAST_SAMPLE_DIR) / name, original.file(name));
    }
}

// The faces the editor saved in work are byte-equal to work's "expected_*" faces, and at
// least one differs from the original.
inline void expectSavedFacesAsExpected(const TempDir& work, const TempDir& original) {
    bool anyChanged = false;
    for (const char* face : sampleFaceNames) {
        SCOPED_TRACE(face);
        const std::string name = std::string("_") + face + ".png";
        const std::string saved = readText(work.file("sample" + name));
        EXPECT_TRUE(saved == readText(work.file("expected" + name)));
        anyChanged = anyChanged || saved != readText(original.file("sample" + name));
    }
    EXPECT_TRUE(anyChanged);
}
