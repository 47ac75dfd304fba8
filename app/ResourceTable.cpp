// Lookup in the table of resources compiled into the executable.
#include "app/ResourceTable.h"

#include <cctype>

const ResourceEntry* FindResourceEntry(unsigned id, std::string_view type)
{
    for (std::size_t i = 0; i < kResourceCount; ++i) {
        const ResourceEntry& r = kResourceTable[i];
        if (r.id != id)
            continue;
        std::string_view t = r.type;
        if (t.size() != type.size())
            continue;
        bool same = true;
        for (std::size_t k = 0; k < t.size() && same; ++k)
            same = std::toupper(static_cast<unsigned char>(t[k])) == std::toupper(static_cast<unsigned char>(type[k]));
        if (same)
            return &r;
    }
    return nullptr;
}
