#pragma once
// The plain, printable name of a class, as the registry keys components by it.

#include <cstddef>
#include <typeinfo>

// Writes the name of `type` without any class keyword ("MeshRenderer", not "class MeshRenderer" nor
// a mangled name) into `out`, truncated to `capacity` - 1 characters and always zero-terminated.
void PlainTypeName(const std::type_info& type, char* out, std::size_t capacity);
