#include <unistd.h>

#include <cstdio>

#include "panorama_io.h"
#include "platform/io_exception.h"

std::string temporaryNameBeside(const std::string& path) {
    // Same folder, so that the rename is atomic; the process id keeps two runs apart.
    return path + ".part" + std::to_string(::getpid());
}

void renameOver(const std::string& temporary, const std::string& path) {
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw ioException{path, ioException::writing};
    }
}
