-- Shared by the install and the uninstall chunk (compiled in front of each):
-- the helpers both programs' scripts define.

function Sleep(ms)
  GLibTab.Kernel32:Get("Sleep")(ms)
end

-- Switches WOW64 file-system redirection off where native folders are needed.
fsredir = {}
fsredir.IsNeed = (Lua_GetOSVersion() > 5) and Lua_IsWow64()
fsredir.Wow64DisableWow64FsRedirection = GLibTab.kernel32:Get("Wow64DisableWow64FsRedirection", "int")
fsredir.Wow64RevertWow64FsRedirection = GLibTab.kernel32:Get("Wow64RevertWow64FsRedirection", "int")
if fsredir.IsNeed then
  fsredir.pOld = RawBuffer.New(4)
  function fsredir:Disable() self.Wow64DisableWow64FsRedirection(self.pOld) end
  function fsredir:Revert() self.Wow64RevertWow64FsRedirection(self.pOld:OffsetGetAsUInt32(0)) end
else
  function fsredir:Disable() end
  function fsredir:Revert() end
end

function DeleteFileAndDirect(path, flag)
  if path == nil then return end
  if flag then
    Lua_DelFileRecursive(path, function() end)
  else
    Lua_DelFileRecursive(path)
  end
end

function paht_remove_filename(path)
  return string.match(path, "^(%a:\\.+)\\[^\\]*$") or string.sub(path, 1, 3)
end

-- Stops and removes the product's service, logging each command that started.
function remove_service()
  for _, command in ipairs({"/C sc stop KWSweepSvc", "/C sc delete KWSweepSvc"}) do
    if Lua_ShellExec("cmd.exe", command) then Lua_Logout("cmd.exe " .. command) end
  end
end
