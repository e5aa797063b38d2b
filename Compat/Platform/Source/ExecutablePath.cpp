#include "Platform/ExecutablePath.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>
#endif

std::filesystem::path ExecutablePath()
{
#ifdef _WIN32
    // GetModuleFileNameW cuts the name short without saying so other than by filling the buffer.
    constexpr DWORD kFirstCapacity = 260;
    constexpr DWORD kLargestCapacity = 32768;
    for (DWORD capacity = kFirstCapacity; capacity <= kLargestCapacity; capacity *= 2) {
        std::vector<wchar_t> name(capacity);
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), capacity);
        if (length == 0)
            return {};
        if (length < capacity)
            return std::filesystem::path(std::wstring(name.data(), length));
    }
    return {};
#else
    // The kernel's own link to the executable: already absolute and free of symbolic links.
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
#endif
}
