#include "panorama/document_questions.h"

#include <cctype>

int proposedFov = 0;

int readFieldOfView(std::string_view text) {
    text = text.substr(0, 7);
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long value = 0;  // seven characters cannot overflow it
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        value = value * 10 + (text[at] - '0');
    return static_cast<int>(negative ? -value : value);
}

bool fieldOfViewAccepted(int degrees) { return !(degrees < 0.1 || degrees >= 179.999); }
