// Script sources compiled to the binary chunks the engine loads.
#pragma once
#include <string>

namespace kwpack {

// The stripped Lua 5.2 chunk of the script at path, in this program's own
// format (32-bit int and size_t, like the engine). A syntax error throws
// PackError with the file and line as Lua reports them.
std::string CompileChunk(const std::wstring& path);

}  // namespace kwpack
