-- Install logic of the KWSweep demo product: defines the utility functions
-- and the five install events the install manager calls in order. Compiled
-- behind common.lua (Sleep, fsredir, DeleteFileAndDirect, paht_remove_filename,
-- remove_service).

local script_version = "1.0.11.18"
local window_title = string.format("%s - 安装", global_product_name)
local oem_union_id = 13000
local move_aside_folder = Lua_ExpandEnv("%TMP%")
local temp_folder = move_aside_folder
local existing_union_id = 0
local service_exe_name = "KWSweepSearch.exe"
local old_client_exe_name = "KWSweepClient.exe"
local install_folder_created = false

is_upgrade = false
global_ss_install = false
global_ss_run = false

function GetCurrentProcessId()
  return (GLibTab.kernel32:Get("GetCurrentProcessId", "int")())
end

function CheckPathExist(path)
  local exists = GLibTab.Shlwapi:Get("PathFileExistsA", "int")
  if exists == nil then return 0 end
  return (exists(AString.New(nil, path)))
end

function path_unquote_spaces(text)
  return (string.match(text, "^\"*(.-)\"*$"))
end

function Split(text, separator)
  Lua_Logout("FullString:" .. text)
  local parts, count, start = {}, 0, 1
  while true do
    local first, last = string.find(text, separator, start, true)
    if not first then break end
    count = count + 1
    parts[count] = string.sub(text, start, first - 1)
    start = last + 1
  end
  count = count + 1
  parts[count] = string.sub(text, start)
  return parts, count
end

local function base_name(path)
  local name = string.match(path, ".+\\([^\\]*%.%w+)$") or path
  local dot = string.match(name, ".+()%.%w+$")
  if dot then return string.sub(name, 1, dot - 1) end
  return name
end

local function last_component(path)
  return string.match(path, ".*\\([^\\]+.*)$") or path
end

function GetCurrentUnionID()
  local value = Lua_RegQuery("HKCU", global_reg_sub_key, "UnionId")
  Lua_Logout("union_id=" .. tostring(value))
  if value == nil then
    value = Lua_RegQuery("HKLM", global_reg_sub_key, "UnionId")
    Lua_Logout("union_id=" .. tostring(value))
  end
  if value == nil then return 0 end
  return tonumber(value)
end

function CheckUnionID()
  return GetCurrentUnionID() == global_union_id
end

function GetUnionByPkgName()
  return string.match(last_component(Lua_GetModuleFileName()), "^.*_.*%-(%d+).*%..*$")
end

function FindWnd(class, title)
  local find = GLibTab.User32:Get("FindWindowW", "int")
  return (find(class and WString.New(nil, class) or nil, title and WString.New(nil, title) or nil))
end

function notify_association_changed()
  GLibTab.shell32:Get("SHChangeNotify", "void")(0x08000000, 3, 0, 0)
end

function AnalyzeParam()
  local parts, count = Split(base_name(Lua_GetModuleFileName()), "_")
  if count ~= 3 or string.lower(parts[1]) ~= string.lower(global_product_name_inner) then return end
  local replace_union_id = tonumber(parts[2])
  if replace_union_id and replace_union_id >= 26300 and replace_union_id < 26399 then
    global_union_id = replace_union_id
    Lua_Logout("union_id:-----------2" .. replace_union_id)
    g_default_uinon = 0
  end
end

local function starts(text, length, ...)
  local head = string.sub(text, 1, length)
  for _, prefix in ipairs({...}) do
    if head == prefix then return true end
  end
  return false
end

function InitCommandLineArgv_new()
  for _, arg in ipairs(Lua_GetCommandLineArgv() or {}) do
    if arg == "/s" or arg == "-s" then
      if global_enable_ss_install == true then
        global_ss_install = true
        global_show_completewindow = false
      end
    elseif arg == "/NormalUpdate" then
      is_normal_update_install = true
      is_upgrade = true
    elseif arg == "/ForceUpdate" then
      is_force_update_install = true
      is_upgrade = true
      global_show_completewindow = false
    elseif starts(arg, 5, "-uid=", "-uid:", "/uid:") then
      global_union_id = tonumber(string.sub(arg, 6))
    elseif starts(arg, 6, "-path=", "-path:", "/path:") then
      global_install_path = string.sub(arg, 7)
    elseif starts(arg, 9, "/startup:") then
      update_startup_type = tonumber(string.sub(arg, 10))
    end
  end
end

-- Older variant, kept for scripts built on it; no event calls it.
function InitCommandLineArgv()
  for _, arg in ipairs(Lua_GetCommandLineArgv() or {}) do
    local lower = string.lower(arg)
    if (starts(lower, 6, "-path:", "/path:")) and global_install_path == nil then
      global_install_path = path_unquote_spaces(string.sub(arg, 7))
    end
  end
end

function analy_filename_with_ss_param()
  local name = string.lower(base_name(Lua_GetModuleFileName()))
  Lua_Logout("analy_filename_with_ss_param:stAppName " .. name)
  if string.find(name, "@st", 1, true) then
    global_ss_install = true
    global_ss_run = true
  end
  if string.find(name, "@stt", 1, true) then
    global_ss_install = true
    global_ss_run = false
  end
end

function analy_filename_with_shortcut_param()
  local name = string.lower(base_name(Lua_GetModuleFileName()))
  local markers = {
    {"@dto", "DesktopShortcutChk", true}, {"@dtc", "DesktopShortcutChk", false},
    {"@smo", "StartMenuShortcutChk", true}, {"@smc", "StartMenuShortcutChk", false},
    {"@qlo", "QuickLaunchChk", true}, {"@qlc", "QuickLaunchChk", false},
    {"@swo", "ShouldStartWithWindowsChk", true}, {"@swc", "ShouldStartWithWindowsChk", false},
    {"@ssc", "InstallSearchServer", false},
  }
  for _, marker in ipairs(markers) do
    if string.find(name, marker[1], 1, true) then _G[marker[2]] = marker[3] end
  end
end

function CheckClient()
  if global_ss_install then return end
  if FindWnd(global_main_wnd_cls, nil) == 0 then return end
  local text = string.format("检测到 %s 正在运行\r\n选择[确定]强制关闭，[取消]取消安装", global_product_name)
  local flags = bit32.bor(0x1, 0x30, 0x10000)  -- MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND
  if Lua_MsgBox(text, window_title, flags) ~= 1 then os.exit(0) end
end

local function install_folder() return global_install_path end

function InstallReport(version_parts, union_id, app_id)
  Lua_Logout("start install report info")
  local path = install_folder() .. "\\rbstat.dll"
  local lib = assert(GLibTab[path], "LoadLibrary " .. path .. " failed")
  local function entry(name, result_type)
    local fn, code = lib:Get(name, result_type)
    assert(fn, "GetProcAddress \"" .. name .. "\" failed, errcode : " .. tostring(code))
    return fn
  end
  local stat_unionid = entry("stat_unionid")
  local stat_appid = entry("stat_appid")
  local stat_level = entry("stat_level")
  local stat_version_ex = entry("stat_version_ex")
  local stat_install_addr = entry("stat_install_addr")
  local stat_init = entry("stat_init", "bool")
  local stat_install = entry("stat_install", "int")
  local stat_http_post = entry("stat_http_post", "int")
  local stat_close = entry("stat_close")
  stat_unionid(union_id)
  stat_appid(app_id)
  stat_level(2)
  stat_version_ex(version_parts[1], version_parts[2], version_parts[3], version_parts[4])
  stat_install_addr(global_udp_install_uninstall_url, tonumber(global_udp_un_install_port))
  if not stat_init() then
    Lua_Logout("stat_init failed!")
    return false
  end
  Lua_Logout("install report host:" .. global_udp_install_uninstall_url)
  if existing_union_id ~= 0 then
    stat_install(3)
    Lua_Logout("cover install!!!")
  else
    stat_install(1)
  end
  local posted = stat_http_post(global_install_PostURL, nil, 0, true)
  Lua_Logout("install post:" .. global_install_PostURL)
  stat_close(50)
  lib:UnLoad()
  GLibTab[path] = nil
  return posted == 1
end

function UpInfomession()
  local union_id = global_union_id
  if existing_union_id ~= 0 then union_id = existing_union_id end
  return InstallReport(global_tb_version, union_id, global_app_id)
end

function RunApp()
  if global_enable_ss_install and global_ss_install and global_ss_run then
    Lua_ExplorerExec(install_folder() .. "\\" .. global_main_app_name, "")
  end
end

local function install_search_service()
  Lua_Exec(install_folder() .. "\\" .. service_exe_name, nil, "--install", true)
end

-- Not called by the events; kept for products that clean up older layouts.
function RemoveOldFiles()
  DeleteFileAndDirect(install_folder() .. "\\" .. old_client_exe_name, true)
end

-- Not called by the events.
function HandleSetAsDefaultDesktop() end

function QRVSE_BeforeInit()
  Lua_Logout("script_version:" .. script_version)
  if Lua_GetOSVersion() < 6 then
    Lua_MsgBox(global_product_name .. " 目前只支持WIN7和更新的Windows操作系统！")
    os.exit(0)
  end
  existing_union_id = GetCurrentUnionID()
  if test_union_id ~= nil and existing_union_id == test_union_id then global_cover_unionId = true end
  local from_name = GetUnionByPkgName()
  if from_name then oem_union_id = from_name end
  global_install_path = Lua_RegQuery("HKLM", global_uninst_sub_key, "InstallLocation")
    or Lua_RegQuery("HKLM", global_reg_sub_key, "AppPath")
    or Lua_RegQuery("HKCU", global_reg_sub_key, "AppPath")
  if global_disable_cover and CheckUnionID() and global_install_path ~= nil then os.exit(0) end
  if global_disable_analyze_params_from_file_name == false then AnalyzeParam() end
  InitCommandLineArgv_new()
  if global_install_path == nil then
    if fsredir.IsNeed then
      global_install_path = Lua_ExpandEnv("%ProgramFiles(x86)%\\") .. global_install_basepath
    else
      global_install_path = Lua_ExpandEnv("%ProgramFiles%\\") .. global_install_basepath
    end
  end
  if not global_need_disk_space then global_need_disk_space = 20048128 end
  if global_startup_check_visable == nil then global_startup_check_visable = true end
  if not global_startup_check then global_startup_check = true end
  if global_custom_reg_list == nil then global_custom_reg_list = {} end
  if global_show_completewindow == nil then global_show_completewindow = true end
  for _, name in ipairs({"DesktopShortcutChk", "StartMenuShortcutChk", "QuickLaunchChk",
                         "ShouldStartWithWindowsChk", "InstallSearchServer"}) do
    if not _G[name] then _G[name] = true end
  end
  if global_enable_ss_install == true then
    if global_default_ss_install == true then
      global_ss_install = true
      global_ss_run = true
    else
      analy_filename_with_ss_param()
    end
  end
  if global_ss_install then analy_filename_with_shortcut_param() end
end

function QRVSE_BeforeInstall()
  CheckClient()
  global_tb_version = {}
  for number in string.gmatch(global_version, "(%d+)|*") do
    global_tb_version[#global_tb_version + 1] = tonumber(number)
  end
  local p = global_tb_version
  global_dwversion = ((p[1] * 100 + p[2]) * 100 + p[3]) * 10000 + p[4]
  Lua_Logout("InstallPath:" .. tostring(InstallPath))
  global_install_path = InstallPath
  -- The uninstaller removes the folder tree only if an installation made the
  -- folder: "/path:" may name one of the user's own (Documents, say). A cover
  -- install into the folder an earlier one made keeps that.
  local previous = Lua_RegQuery("HKLM", global_reg_sub_key, "AppPath")
  local made_before = previous ~= nil and string.lower(previous) == string.lower(global_install_path) and
    Lua_RegQuery("HKLM", global_reg_sub_key, "InstallFolderCreated") == 1
  install_folder_created = made_before or not Lua_PathFileExists(global_install_path)
  Lua_CreateDirectory(global_install_path)
end

local function reg_add(root, key, value, datatype, data, overwrite)
  Lua_RegAdd(root, key, value, datatype, data, overwrite)
end

local function write_registry_table()
  local folder = install_folder()
  local cover = global_cover_unionId
  local key, uninst = global_reg_sub_key, global_uninst_sub_key
  local rows = {
    {"HKLM", key, "AppPath", "REG_SZ", global_install_path, true},
    {"HKLM", key, "UnionId", "REG_DWORD", global_union_id, cover},
    {"HKLM", key, "OEMUnionId", "REG_DWORD", oem_union_id, cover},
    {"HKLM", key, "OemID", "REG_DWORD", 1, true},
    {"HKLM", key, "UserID", "REG_BINARY", 0, true},
    {"HKLM", key, "InstallFolderCreated", "REG_DWORD", install_folder_created and 1 or 0, true},
    {"HKCU", key, "AppPath", "REG_SZ", global_install_path, true},
    {"HKCU", key, "UnionId", "REG_DWORD", global_union_id, cover},
    {"HKCU", key, "OEMUnionId", "REG_DWORD", oem_union_id, cover},
    {"HKCU", key, "OemID", "REG_DWORD", 1, true},
    {"HKCU", key, "UserID", "REG_BINARY", 0, true},
    {"HKCU", key, "DisplayVersion", "REG_SZ", global_version, true},
    {"HKCU", key, "Version", "REG_DWORD", global_dwversion, true},
    {"HKLM", uninst, "DisplayIcon", "REG_SZ", folder .. "\\" .. global_main_app_name, true},
    {"HKLM", uninst, "DisplayName", "REG_SZ", global_product_name, true},
    {"HKLM", uninst, "DisplayVersion", "REG_SZ", global_version, true},
    {"HKLM", uninst, "EstimatedSize", "REG_DWORD", global_need_disk_space / 1024, true},
    {"HKLM", uninst, "NoModify", "REG_DWORD", 1, true},
    {"HKLM", uninst, "NoRepair", "REG_DWORD", 1, true},
    {"HKLM", uninst, "Publisher", "REG_SZ", global_company_name, true},
    {"HKLM", uninst, "UninstallString", "REG_SZ", folder .. "\\Uninstall.exe", true},
    {"HKLM", uninst, "InstallLocation", "REG_SZ", global_install_path, true},
    {"HKLM", uninst, "InstallDate", "REG_SZ", os.date("%Y%m%d"), true},
  }
  for _, row in ipairs(rows) do reg_add(table.unpack(row)) end
  for _, entry in ipairs(global_custom_reg_list) do
    reg_add(entry.hkey, entry.subkey, entry.value, entry.datatype, entry.data, entry.overwrite)
  end
end

local function write_merchant_id()
  local merchant = Lua_RegQuery("HKCU", global_reg_sub_key, "MerchantID")
  if merchant == "" then
    Lua_RegDel("HKCU", global_reg_sub_key, "MerchantID")
    merchant = Lua_RegQuery("HKCU", global_reg_sub_key, "MerchantID")
  end
  local installed = Lua_RegQuery("HKLM", global_reg_sub_key, "AppPath") or Lua_RegQuery("HKCU", global_reg_sub_key, "AppPath")
  if installed == nil and global_merchant_id then
    Lua_RegAdd("HKCU", global_reg_sub_key, "MerchantID", "REG_SZ", global_merchant_id, global_merchant_id_overwrite)
  end
end

local function same_drive(a, b)
  return string.lower(string.sub(a, 1, 1)) == string.lower(string.sub(b, 1, 1))
end

function QRVSE_OnInstall()
  local folder = install_folder()
  remove_service()
  Lua_KillAllTaskByName(global_main_app_name_inner)
  Lua_KillAllTaskByName(global_main_app_name)
  Lua_KillAllTaskByName(old_client_exe_name)
  Sleep(2000)

  if same_drive(move_aside_folder, folder) then
    move_aside_folder = paht_remove_filename(folder) .. "\\del_reboot"
    Lua_CreateDirectory(move_aside_folder)
  end

  local extracted = Lua_UnCompress7z("App.7z", global_install_path, false, nil, function(path, code)
    Lua_Logout(path .. string.format("  创建文件出错:%d", code))
    local t = Lua_GetTempFileName(move_aside_folder, "JsZip")
    local u = Lua_PathYetAnotherMakeUniqueName(t or (move_aside_folder .. "\\JsZip.tmp"))
    Lua_Logout(u)
    if u ~= "" and Lua_MoveFile(path, u) then
      Lua_DeleteFileAfterReboot(u)
      return 0
    end
    return 2
  end)
  if not extracted then
    Lua_MsgBox("释放文件时出现错误，安装程序将终止！", window_title)
    os.exit(0)
  end

  Lua_ExtractResource("LUA", "GLOBAL_VAR.LUAC", folder .. "\\Uninst.dar0")
  Lua_ExtractResource("LUA", "UNINSTSCRIPT.LUAC", folder .. "\\Uninst.dar1")

  local main_app_fullpath = folder .. "\\" .. global_main_app_name
  local helper_path = folder .. "\\func_helper.dll"
  local helper = GLibTab[helper_path]
  local IsOSWin7 = helper and helper:Get("IsOSWin7", "bool")

  write_merchant_id()
  write_registry_table()

  fsredir:Disable()
  Lua_RegVarByCSIDL("COMMPROGRAMS", 23)
  Lua_RegVarByCSIDL("DESKTOP", 16)
  if helper then helper:Get("AllowAccountPrivilege", "bool")(WString.New(nil, global_install_path)) end

  Lua_Logout("QRVSE_OnInstall_8")
  Lua_DeleteFile(string.format("%s\\%s.lnk", "%DESKTOP%", global_old_product_name))

  if DesktopShortcutChk and helper then
    helper:Get("CreateDesktopShortcut", "void")(WString.New(nil, main_app_fullpath),
      WString.New(nil, global_main_wnd_cls), WString.New(nil, global_product_name))
  end

  if StartMenuShortcutChk then
    local menu_folder = string.format("%s\\%s", "%COMMPROGRAMS%", global_product_name)
    DeleteFileAndDirect(menu_folder, true)
    Lua_DeleteFile(menu_folder)
    fsredir:Revert()
    Lua_CreateShortcut(main_app_fullpath,
      string.format("%s\\%s\\%s.lnk", "%COMMPROGRAMS%", global_product_name, global_product_name), "/menu", nil)
    Lua_CreateShortcut(folder .. "\\Uninstall.exe",
      string.format("%s\\%s\\卸载%s.lnk", "%COMMPROGRAMS%", global_product_name, global_product_name), "", nil)
    Lua_RegAdd("HKCU", "SOFTWARE\\KWSweep", "StartMenuShortcutChk", "REG_DWORD", 1, true)
  else
    Lua_RegAdd("HKCU", "SOFTWARE\\KWSweep", "StartMenuShortcutChk", "REG_DWORD", 0, true)
  end

  local run_key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
  if ShouldStartWithWindowsChk then
    -- Quoted: unquoted, "C:\\Program Files (x86)\\..." would start C:\\Program.exe.
    Lua_RegAdd("HKCU", run_key, "KWSweep", "REG_SZ", '"' .. folder .. "\\" .. global_main_app_name .. '" /auto', true)
  else
    Lua_RegDel("HKCU", run_key, "KWSweep")
  end

  if helper then
    helper:UnLoad()
    GLibTab[helper_path] = nil
  end
  fsredir:Revert()

  if global_create_log_folder == true then Lua_CreateDirectory(folder .. "\\log") end
  if move_aside_folder ~= temp_folder then
    Lua_DelFileRecursive(move_aside_folder)
    Lua_DeleteFileAfterReboot(move_aside_folder)
  end
end

function QRVSE_BeforeComplete()
  if is_upgrade and not global_show_completewindow then
    Lua_ExplorerExec(install_folder() .. "\\" .. global_main_app_name, "")
  end
  if InstallSearchServer == true then install_search_service() end
  RunApp()
  UpInfomession()
  notify_association_changed()
end

function QRVSE_AfterComplete() end
