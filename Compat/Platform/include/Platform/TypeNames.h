#pragma once
// The name the compiler gives a type, readable: GCC and Clang store mangled names, MSVC readable ones
// ("class MeshRenderer").
//
// Any thread.
#include <string>
#include <typeinfo>

// `type`'s name as the compiler's tools would print it; the stored name when it cannot be demangled.
std::string ReadableTypeName(const std::type_info& type);
