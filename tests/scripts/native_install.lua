-- Native calls inside a real installer, whose start-up restricts bare-name
-- library loads to the system folder. Writes one line per check to the file
-- named by KW_TEST_RESULT.
local out = assert(io.open(os.getenv("KW_TEST_RESULT"), "wb"))
local function put(...)
  local values = table.pack(...)
  for i = 1, values.n do values[i] = tostring(values[i]) end
  out:write(table.concat(values, ","), "\n")
end

local path = os.getenv("KW_TEST_DLL_DIR") .. "\\kwnative.dll"

-- Bare names come from the system folder only, never from the program's
-- folder (which holds both libraries) or the current one.
put("bare", GLibTab.kwnative_dep, rawget(GLibTab, "kwnative_dep"), DllManager.Load("kwnative.dll"))

-- A plain LoadLibraryW of the same path: its dependency beside it is not
-- searched for under the restriction.
local plain = GLibTab.Kernel32:Get("LoadLibraryW", "uint")
put("plain", plain(WString.New(nil, path)))

local lib = GLibTab[path]
put("path", type(lib), (lib:Get("StdDepMagic", "uint")()))
put("pid", (GLibTab.Kernel32:Get("GetCurrentProcessId", "uint")()))

-- Failed lookups: results and traces.
put("phMod", lib.Get(5, "StdEcho"))
put("pfn", lib:Get("NoSuchExport"))

-- The wrong convention word: the call still returns, and the mismatch is
-- traced for the script's author.
put("convention", (lib:Get("StdEcho", "int", true)(-3)))

-- A relative path with a folder, from the current folder, after the first
-- copy is gone again.
lib:UnLoad()
GLibTab[path] = nil
local relative = DllManager.Load(os.getenv("KW_TEST_RELATIVE_DLL"))
put("relative", type(relative), relative and (relative:Get("StdDepMagic", "uint")()))
out:close()
