#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

// Thrown by value by every file reader and writer after it has closed what it opened.
// The path is a copy, so the exception stays valid after the caller's buffer is gone.
struct ioException {
    enum Kind : std::int32_t { opening = 0, closing = 1, reading = 2, writing = 3 };

    std::string path;
    std::int32_t kind = opening;
    // The defect found ("colour-map index outside the map"), a static text: the report
    // shows it on a line of its own after the "IO Error" line.
    const char* reason = "";
    // What the user is shown instead of "IO Error <operation> <path>" where the path alone
    // would not tell what went wrong; empty for most failures.
    std::string message = {};
    // The text reason points into when it is made at run time (a reason naming a folder):
    // shared by every copy, so reason stays valid wherever the exception is caught.
    std::shared_ptr<const std::string> reasonText = {};
};

// An ioException whose reason is made at run time.
inline ioException ioExceptionBecause(std::string path, std::int32_t kind, std::string reason) {
    auto text = std::make_shared<const std::string>(std::move(reason));
    const char* shown = text->c_str();
    return ioException{std::move(path), kind, shown, {}, std::move(text)};
}
