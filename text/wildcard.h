// Wildcard matching as FindFirstFileW applies it to one name: '*' is any run
// of units, '?' exactly one, letters compare without regard to case (ASCII
// and Latin letters only; other units compare exactly). Used by the backends
// that cannot ask Windows.
#pragma once

bool WildcardMatch(const char16_t* pattern, const char16_t* name);

// Splits "dir\pattern" at its last separator ('\' or '/'). Returns the length
// of the directory part, or -1 when there is no separator.
int SplitSearchPattern(const char16_t* search);
