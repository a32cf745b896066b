// %NAME% expansion as ExpandEnvironmentStringsW does it, for the backends
// that cannot ask Windows: a known name is replaced by its value, an unknown
// one stays as written, "%%" and a lone '%' are kept.
#pragma once

#include <cstdint>

// Returns the value of name (no percent signs), or null when it is not set.
typedef const char16_t* (*VariableLookup)(const char16_t* name, void* context);

// False, with dst empty, when the result needs more than capacity units.
bool ExpandReferences(const char16_t* source, char16_t* dst, uint32_t capacity, VariableLookup lookup, void* context);
