#include "Scene/TypeName.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__GNUG__)
#include <cxxabi.h>
#endif

namespace {

void CopyTruncated(std::string_view name, char* out, std::size_t capacity)
{
    if (capacity == 0)
        return;
    std::size_t length = name.size() < capacity - 1 ? name.size() : capacity - 1;
    std::memcpy(out, name.data(), length);
    out[length] = '\0';
}

// MSVC prints "class MeshRenderer" or "struct Ball": the name is what follows the first space.
std::string_view WithoutClassKeyword(std::string_view name)
{
    for (std::string_view keyword : { "class ", "struct " })
        if (name.substr(0, keyword.size()) == keyword)
            return name.substr(keyword.size());
    return name;
}

} // namespace

void PlainTypeName(const std::type_info& type, char* out, std::size_t capacity)
{
#if defined(__GNUG__)
    // GCC and Clang give the mangled name; demangle it.
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    if (status == 0 && demangled != nullptr) {
        CopyTruncated(WithoutClassKeyword(demangled), out, capacity);
        std::free(demangled);
        return;
    }
    std::free(demangled);
#endif
    CopyTruncated(WithoutClassKeyword(type.name()), out, capacity);
}
