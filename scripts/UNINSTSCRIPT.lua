-- Uninstall logic of the KWSweep demo product, run by the product's own
-- Uninstall.exe with "Uninst.dar0" (the configuration) loaded first. The
-- uninstaller supplies tbContact, tbSuggest, ReasonID, ClearUserData,
-- ChkUserSetting, _Uninstall_Path and _UninstallLib. Compiled behind
-- common.lua (Sleep, fsredir, DeleteFileAndDirect, paht_remove_filename,
-- remove_service).

local script_version = "1.0.2.55"
local move_aside_folder = Lua_ExpandEnv("%TMP%")
local temp_folder = move_aside_folder
local old_client_exe_name = "KWSweepClient.exe"
local stat = nil
local version_parts = {}

function CheckPathExist(path)
  local exists = GLibTab.Shlwapi:Get("PathFileExistsW", "int")
  if exists == nil then return 0 end
  return (exists(WString.New(nil, path)))
end

function GetUnionID()
  local value = Lua_RegQuery("HKCU", global_reg_sub_key, "UnionId") or Lua_RegQuery("HKLM", global_reg_sub_key, "UnionId")
  global_union_id = tonumber(value) or 1
  Lua_Logout("union_id=" .. tostring(global_union_id))
end

function CreateSubtatModule()
  local path = uninstall_work_dir .. "\\rbstat.dll"
  local lib = GLibTab[path]
  if lib == nil then return nil end
  local module = {lib = lib, path = path}
  local entries = {
    {"stat_init", "bool"}, {"stat_level"}, {"stat_unionid"}, {"stat_appid"}, {"stat_install", "int"},
    {"stat_version_ex"}, {"stat_install_addr"}, {"stat_close"}, {"stat_http_post", "int"},
  }
  for _, entry in ipairs(entries) do
    module[entry[1]] = lib:Get(entry[1], entry[2])
    if module[entry[1]] == nil then
      Lua_Logout("GetProcAddress \"" .. entry[1] .. "\" failed")
      lib:UnLoad()
      GLibTab[path] = nil
      return nil
    end
  end
  return module
end

function InitSubStat()
  if not stat.stat_init() then
    Lua_Logout("stat_init failed!")
    return false
  end
  stat.stat_level(2)
  stat.stat_unionid(global_union_id)
  stat.stat_appid(global_app_id)
  stat.stat_install_addr(global_udp_install_uninstall_url, tonumber(global_udp_un_install_port))
  stat.stat_version_ex(version_parts[1], version_parts[2], version_parts[3], version_parts[4])
  Lua_Logout("uninstall report host:" .. global_udp_install_uninstall_url)
  return true
end

function UninstallReport()
  if stat == nil then return end
  stat.stat_install(2)
  stat.stat_http_post(global_Uninstall_PostURL, nil, 0, true)
  Lua_Logout("report uninstall " .. global_Uninstall_PostURL)
end

function UninstallReason(text)
  if stat == nil then return end
  stat.stat_install(2)
  stat.stat_http_post(global_Uninstall_ReasonURL, text, string.len(text), true)
  Lua_Logout("report reason" .. global_Uninstall_PostURL)
end

local function squeeze(text)
  text = string.gsub(tostring(text or ""), "/r/n", "")
  return (string.gsub(text, "%s+", ""))
end

-- A JSON string's content: quotes, backslashes and control characters
-- escaped, so the user's text cannot end the string or break the object.
local function json_text(text)
  return (string.gsub(tostring(text), '[%c"\\]', function(c)
    if c == '"' or c == "\\" then return "\\" .. c end
    return string.format("\\u%04x", string.byte(c))
  end))
end

function FeedBack()
  if tbContact == nil and ReasonID == nil then return end
  tbContact = squeeze(tbContact)
  tbSuggest = squeeze(tbSuggest)
  uninstreason = string.format('{"come_from":32772, "content_ids":"%s", "uninstsuggest":"%s","contact":"%s"}',
    json_text(ReasonID), json_text(tbSuggest), json_text(tbContact))
  UninstallReason(uninstreason)
end

function PathIsDirmpty(path)
  local empty = GLibTab.Shlwapi:Get("PathIsDirectoryEmptyW", "bool")(WString.New(nil, path))
  Lua_Logout("---del---")
  Lua_Logout(path)
  Lua_Logout("222")
  return empty
end

function UnSetAssociate() end

function UnRegeditRightMenu(library_path, argument)
  local lib = GLibTab[library_path]
  if lib == nil then return end
  local register = lib:Get("DllRegEx", "int")
  if register and argument ~= nil then register(argument) end
  lib:UnLoad()
  GLibTab[library_path] = nil
end

local function folder_of(path)
  return string.match(path, "^(.*)\\[^\\]*$") or path
end

function QRVSE_BeforeInit()
  Lua_Logout("script_version:" .. script_version)
  GetUnionID()
  for number in string.gmatch(global_version, "(%d+)|*") do version_parts[#version_parts + 1] = tonumber(number) end
  if global_install_path == nil or not Lua_PathFileExists(global_install_path) then
    global_install_path = Lua_RegQuery("HKLM", global_uninst_sub_key, "InstallLocation")
  end
  if global_install_path == nil then return end
  main_app_fullpath = global_install_path .. "\\" .. global_main_app_name_inner
  uninstall_work_dir = folder_of(Lua_GetModuleFileName())
  local library = global_install_path .. "\\rbstat.dll"
  -- A work folder inside the install folder already holds the library.
  if Lua_PathFileExists(library) and string.lower(uninstall_work_dir) ~= string.lower(global_install_path) then
    Lua_CopyFile(library, uninstall_work_dir .. "\\rbstat.dll")
    Lua_CopyFile(global_install_path .. "\\udp_rb.dll", uninstall_work_dir .. "\\udp_rb.dll")
  end
  if Lua_PathFileExists(uninstall_work_dir .. "\\rbstat.dll") then
    stat = CreateSubtatModule()
    if stat then InitSubStat() end
  end
end

local function move_aside(path, code)
  Lua_Logout(path .. string.format("  delete file failed:%d", code))
  local t = Lua_GetTempFileName(move_aside_folder, "JsZip")
  local u = Lua_PathYetAnotherMakeUniqueName(t or (move_aside_folder .. "\\JsZip.tmp"))
  if u ~= "" and Lua_MoveFile(path, u) then Lua_DeleteFileAfterReboot(u) end
end

local function unpin_and_delete(names)
  local pinned = "%s\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\%s.lnk"
  local quick = "%s\\Microsoft\\Internet Explorer\\Quick Launch\\%s.lnk"
  for _, name in ipairs(names) do
    Lua_Exec(string.format(pinned, Lua_ExpandEnv("%APPDATA%"), name), "taskbarunpin")
  end
  for _, name in ipairs(names) do
    Lua_DeleteFile(string.format(quick, Lua_ExpandEnv("%APPDATA%"), name))
  end
end

-- Folders of the user and of the system: never removed as an install folder,
-- nor one that holds any of them.
local shell_folder_ids = {
  0x28, -- profile
  0x05, -- Documents
  0x10, 0x19, -- desktops
  0x0D, 0x27, 0x0E, -- music, pictures, videos
  0x1A, 0x1C, 0x23, -- application data: roaming, local, common
  0x26, 0x2A, 0x2B, 0x2C, -- Program Files, Program Files (x86), common files
  0x24, 0x25, 0x29, -- Windows, system, system (x86)
  0x2E, 0x17, 0x02, -- public documents, start menus
}

local function normalized(path)
  return string.lower((string.gsub(path, "[\\/]+$", "")))
end

local function is_shell_folder(folder)
  local mine = normalized(folder)
  if string.match(mine, "^%a:$") or mine == "" then return true end
  for _, csidl in ipairs(shell_folder_ids) do
    if Lua_RegVarByCSIDL("KW_SHELL_FOLDER", csidl) then
      local shell = normalized(Lua_ExpandEnv("%KW_SHELL_FOLDER%"))
      if shell == mine or string.sub(shell, 1, #mine + 1) == mine .. "\\" then return true end
    end
  end
  return false
end

-- Whether the whole install folder may go: an installation made it, and it
-- is not a folder of the user's or the system's.
local function install_folder_owned(folder)
  return Lua_RegQuery("HKLM", global_reg_sub_key, "InstallFolderCreated") == 1 and not is_shell_folder(folder)
end
local folder_owned = false

-- In a folder the installation did not make, only the product's own files go.
local function remove_product_files(folder)
  for _, name in ipairs({global_main_app_name, global_main_app_name_inner, "KWSweepSearch.exe", old_client_exe_name,
                         "Uninstall.exe", "func_helper.dll", "rbstat.dll", "udp_rb.dll", "Uninst.dar0",
                         "Uninst.dar1"}) do
    Lua_DelFileRecursiveEx(folder .. "\\" .. name, move_aside)
  end
end

function doUninstall()
  local folder = global_install_path
  folder_owned = install_folder_owned(folder)
  remove_service()
  Sleep(1000)
  Lua_KillAllTaskByName(global_main_app_name_inner)
  Lua_KillAllTaskByName(global_main_app_name)
  Lua_KillAllTaskByName(old_client_exe_name)
  Sleep(1000)
  Lua_KillAllTaskByName(old_client_exe_name)
  if string.lower(string.sub(move_aside_folder, 1, 1)) == string.lower(string.sub(folder, 1, 1)) then
    move_aside_folder = paht_remove_filename(folder) .. "\\del_reboot"
    Lua_CreateDirectory(move_aside_folder)
  end
  fsredir:Disable()
  Lua_RegVarByCSIDL("DESKTOP", 16)
  Lua_DeleteFile(string.format("%s\\%s.lnk", "%DESKTOP%", global_old_product_name))
  Lua_DeleteFile(string.format("%s\\%s.lnk", "%DESKTOP%", global_product_name))
  unpin_and_delete({global_old_product_name, global_product_name, global_product_name})
  Lua_RegVarByCSIDL("COMMPROGRAMS", 23)
  local start_pinned = "%s\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\StartMenu\\%s.lnk"
  for _, name in ipairs({global_old_product_name, global_product_name}) do
    Lua_Exec(string.format(start_pinned, Lua_ExpandEnv("%APPDATA%"), name), "startunpin")
  end
  Sleep(1000)
  DeleteFileAndDirect(string.format("%s\\%s", "%COMMPROGRAMS%", global_old_product_name), true)
  local start_menu_app_dir = string.format("%s\\%s", "%COMMPROGRAMS%", global_product_name)
  DeleteFileAndDirect(start_menu_app_dir, true)
  Lua_DeleteFile(start_menu_app_dir)
  fsredir:Revert()
  for _, key in ipairs({{"HKLM", global_reg_sub_key}, {"HKCU", global_reg_sub_key},
                        {"HKLM", global_uninst_sub_key}, {"HKCU", global_reg_run_key}}) do
    Lua_RegDel(key[1], key[2])
    Lua_Logout(key[1] .. "\\" .. key[2])
  end
  -- The install script writes the autostart as a value of the Run key, which
  -- the key-tree removal above does not reach.
  Lua_RegDel("HKCU", "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "KWSweep")
  if folder_owned then
    Lua_DelFileRecursiveEx(folder, move_aside)
  else
    Lua_Logout("kept " .. folder .. ": the installation did not make it")
    remove_product_files(folder)
  end
  if move_aside_folder ~= temp_folder then
    Lua_DelFileRecursive(move_aside_folder)
    Lua_DeleteFileAfterReboot(move_aside_folder)
  end
  if ClearUserData then
    Lua_DelFileRecursive(string.format("%s\\%s", Lua_ExpandEnv("%LOCALAPPDATA%"), global_product_name_inner))
  end
  Lua_DelFileRecursive(string.format("%s\\%s", Lua_ExpandEnv("%TEMP%"), global_product_name_inner))
  return true
end

function doClean()
  if stat then
    Sleep(6000)
    stat.stat_close(50)
    stat.lib:UnLoad()
    GLibTab[stat.path] = nil
    stat = nil
  end
  if _UninstallLib then _UninstallLib:UnLoad() end
  if not ChkUserSetting then
    Lua_RegVarByCSIDL("APPDATA_USER", 26)
    Lua_RegVarByCSIDL("APPDATA_ALLUSER", 35)
  end
  if _Uninstall_Path then Lua_DeleteFile(_Uninstall_Path) end
  if folder_owned then Lua_DeleteFileAfterReboot(global_install_path) end
end

function QRVSE_OnUninstall()
  if global_install_path == nil then return end
  doUninstall()
  UninstallReport()
end

function QRVSE_AfterUnintall()
  Lua_Logout("-----install----")
  if global_install_path == nil then return end
  doClean()
end

function QRVSE_FeedBack()
  Lua_Logout("-----QRVSE_FeedBack----")
  FeedBack()
end
