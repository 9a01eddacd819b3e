// The script's entry to the payload archive.
#pragma once

struct lua_State;

namespace kw {

// Lua_UnCompress7z(source, destination, fromFile, progressFunction, errorFunction)
// -> boolean. Extracts a "_7Z" resource of this executable (source: a name,
// or a number or numeric string for an id) or, with fromFile true, a 7z file
// into an existing destination folder. progressFunction(path) is called for
// each file written; errorFunction(path, code) for a file that cannot be
// created, answering 0 (or nothing) to try again, 1 to skip it, else stop.
int Lua_UnCompress7z(lua_State* state);

}  // namespace kw
