// Script functions for files and folders: create, copy, move, rename,
// delete (with or without asking), unique and temporary names, resources
// written to files.
#pragma once

struct lua_State;

namespace kw {

int Lua_CreateDirectory(lua_State* state);
int Lua_CopyFile(lua_State* state);
int Lua_MoveFile(lua_State* state);
int Lua_RenameFile(lua_State* state);
int Lua_DeleteFile(lua_State* state);
int Lua_DeleteFileEx(lua_State* state);
int Lua_ExtractResource(lua_State* state);
int Lua_DelFileRecursive(lua_State* state);
int Lua_DelFileRecursiveEx(lua_State* state);
int Lua_DeleteFileAfterReboot(lua_State* state);
int Lua_GetTempFileName(lua_State* state);
int Lua_GetTempPath(lua_State* state);
int Lua_PathFileExists(lua_State* state);
int Lua_PathYetAnotherMakeUniqueName(lua_State* state);

// The question Lua_DeleteFile asks when a delete fails, answered like
// MessageBoxW (IDABORT, IDRETRY, IDIGNORE). Tests answer in place of the box;
// null puts the real box back. Returns the previous one.
using DeletePrompt = int (*)(const wchar_t* text, const wchar_t* caption, unsigned int type);
DeletePrompt SetDeletePrompt(DeletePrompt prompt);

}  // namespace kw
