// Reads a whole file as bytes; an unreadable file reads as empty.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
