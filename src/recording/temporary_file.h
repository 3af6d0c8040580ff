#pragma once
// A file written aside and renamed over its final name once whole: its
// temporary name, hidden in the same folder, is short whatever the final
// name's length (a name near the system's limit leaves no room for a
// suffix), and it gets the usual rights, not the private ones of mkostemp.
#include <string>

namespace SonivarACQ32 {

// Creates the temporary file in `folder`; its descriptor, with `path` set,
// or -1 with errno set.
int create_temporary(const std::string& folder, std::string& path);

} // namespace SonivarACQ32
