-- Calls the native functions named in KW_TEST_CALLS from inside a real
-- installer and reports each result through Lua_Logout, so the test reads
-- them as trace lines. (Names are letters only.)
local calls = {}

function calls.logout()
  Lua_Logout("trace line " .. os.getenv("KW_TEST_TOKEN"))
  Lua_Logout("log line 中文 " .. os.getenv("KW_TEST_TOKEN"))
end

function calls.msgbox()
  local flags = bit32.bor(1, 0x30, 0x10000) -- MB_OKCANCEL, MB_ICONWARNING, MB_SETFOREGROUND
  Lua_Logout("msgbox:" .. Lua_MsgBox("first", "KW test box", flags))
  Lua_Logout("msgbox:" .. Lua_MsgBox("second", "KW test box", flags))
end

function calls.register()
  local dll = os.getenv("KW_TEST_COM_DLL")
  Lua_Logout("register:" .. tostring(Lua_RegSvr32(dll, true)))
  Lua_Logout("unregister:" .. tostring(Lua_RegSvr32(dll)))
end

function calls.argv()
  for i, argument in ipairs(Lua_GetCommandLineArgv()) do
    Lua_Logout("argv:" .. i .. ":" .. argument)
  end
  Lua_Logout("module:" .. Lua_GetModuleFileName())
end

function calls.traces()
  local dir = os.getenv("KW_TEST_DIR")
  Lua_Exec(dir .. "\\missing.exe", "open")
  Lua_CreateShortcut(dir .. "\\target.exe", dir .. "\\links\\target.lnk", "", "")
  Lua_SCM("PlugPlay", "restart")
  Lua_RegVarByCSIDL("KW_NO_FOLDER", 127)
end

function QRVSE_BeforeInit()
  for name in string.gmatch(os.getenv("KW_TEST_CALLS") or "", "%a+") do
    calls[name]()
  end
end
