#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// One file compiled into the program (see resources/resources.txt).
struct ProgramResource {
    const char* name;
    const char* type;
    const unsigned char* data;
    std::size_t size;
};

// The generated table, ended by an entry whose name is null.
extern const ProgramResource programResources[];

// The bytes of the resource with exactly this name and type (case-sensitive), or an
// empty span when the program has none.
std::span<const std::uint8_t> findResource(const char* name, const char* type);
