#include "Scene/TypeName.h"

#include "Platform/TypeNames.h"

#include <cstring>
#include <string>
#include <string_view>

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
    const std::string name = ReadableTypeName(type);
    CopyTruncated(WithoutClassKeyword(name), out, capacity);
}
