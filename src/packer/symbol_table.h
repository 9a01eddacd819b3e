// Keeps the engine's COFF symbol table readable in the packed copy.
#pragma once
#include <string>

namespace kwpack {

// Wine's EndUpdateResource moves the sections behind a grown .rsrc but leaves
// the file header's symbol-table offset where it was, so the table, and with
// it the long names of the debug sections, reads as garbage. When the table
// (kept whole at the end of the file) no longer lies at the recorded offset,
// the offset is set to where it went. Throws PackError if the file cannot be
// patched.
void KeepSymbolTable(const std::string& engine, const std::wstring& output);

}  // namespace kwpack
