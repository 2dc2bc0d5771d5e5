#pragma once

class SixImage;

// Test runs give the start-up panorama known faces with DOMECAST_TEST_FACES=folder on the
// command line: folder/face0.bmp to face5.bmp, each scaled onto its face. Files that
// cannot be read leave their face white.
void fillTestFaces(SixImage& panorama);
