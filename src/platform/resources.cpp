#include "platform/resources.h"

#include <cstring>

std::span<const std::uint8_t> findResource(const char* name, const char* type) {
    if (name == nullptr || type == nullptr) return {};
    for (const ProgramResource* r = programResources; r->name != nullptr; ++r) {
        if (std::strcmp(r->name, name) == 0 && std::strcmp(r->type, type) == 0)
            return {r->data, r->size};
    }
    return {};
}
