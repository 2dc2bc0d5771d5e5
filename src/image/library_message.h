#pragma once
#include <string_view>

// A codec library's own message ("Premature end of JPEG file", "Invalid IHDR data") as
// the reason of the program's error line. ioException keeps its reason as a pointer, so
// the text is kept for the life of the process, each distinct text once (at most a few
// hundred; fallback beyond them, or for an empty text).
const char* libraryReason(std::string_view text, const char* fallback);
