#include "Platform/TypeNames.h"

#include <cstdlib>

#if defined(__GNUG__)
#include <cxxabi.h>
#endif

std::string ReadableTypeName(const std::type_info& type)
{
#if defined(__GNUG__)
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    if (status == 0 && demangled != nullptr) {
        std::string name(demangled);
        std::free(demangled);
        return name;
    }
    std::free(demangled);
#endif
    return type.name();
}
