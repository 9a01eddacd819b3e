// Library loading that cannot be hijacked by a DLL planted beside the
// installer or in the current directory (typically a downloads folder).
#pragma once
#include <windows.h>

#include <string>

#include "core/handles.h"

namespace kw {

// Restricts the search path of every later load by bare name to the system
// folder. Called first thing at start-up, before anything loads a library.
void RestrictDllSearchToSystem();

// Loads a system DLL from the system folder only.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// Loads a library that a script names. A bare name goes through the process's
// search path (the system folder once RestrictDllSearchToSystem has run); a
// path with a folder loads that file, and its own dependencies are found
// beside it, then in the system folder.
HMODULE LoadLibraryByNameOrPath(const wchar_t* nameOrPath);

// The full path of a loaded module, of any length; empty if it cannot be had.
std::wstring ModuleFileName(HMODULE module);

// Full path of the running executable; empty if it cannot be had.
inline std::wstring ExecutablePath() { return ModuleFileName(nullptr); }

// shell32 and shlwapi from the system folder, loaded on first use and kept
// until the process ends: an owner destroyed at exit would unload them while
// threads they started may still run in them. Invalid when they cannot load.
const UniqueModule& Shell32();
const UniqueModule& Shlwapi();

// Loads fileName from the executable's own folder by full path; the DLLs it
// imports are found beside it or in the system folder.
HMODULE LoadLibraryBesideExecutable(const wchar_t* fileName);

// The system folder ("C:\Windows\system32"), "" if it cannot be read.
std::wstring SystemFolder();

}  // namespace kw
