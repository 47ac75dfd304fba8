// The files of res/ compiled into the executable, looked up by numeric id and type string.
#pragma once
#include <cstddef>
#include <string_view>

struct ResourceEntry {
    unsigned id;
    const char* type;
    const unsigned char* data;
    std::size_t size;
};

extern const ResourceEntry kResourceTable[];
extern const std::size_t kResourceCount;

// The resource with this id and type (type compared without regard to letter case, as resource
// types are), or null.
const ResourceEntry* FindResourceEntry(unsigned id, std::string_view type);
