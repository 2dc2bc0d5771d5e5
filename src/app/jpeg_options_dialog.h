#pragma once

// "JPEG options", the Save-as options of the layouts that write JPEG faces, backgrounds,
// strips and spheres: their quality and chroma sampling. parent is a wxWindow (the format
// table knows no toolkit).
void showJpegOptionsDialog(void* parent);
