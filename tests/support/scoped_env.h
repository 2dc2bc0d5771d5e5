#pragma once
#include <optional>
#include <string>

// Sets an environment variable for the life of the object, then restores it or removes it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    // A null value removes the variable for the life of the object.
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};
