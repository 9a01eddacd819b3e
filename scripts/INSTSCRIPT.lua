-- Install logic of the demo product. Until the native file library lands,
-- each event records itself in the temporary folder so a run can be followed.
local function record(event)
  local folder = os.getenv("TEMP") or "."
  local file = io.open(folder .. "\\KWSweepSetup-events.txt", "a")
  if file then
    file:write(os.date("%Y-%m-%d %H:%M:%S "), event, " ", tostring(InstallPath or ""), "\n")
    file:close()
  end
end

function QRVSE_BeforeInit()
  global_install_path = (os.getenv("ProgramFiles") or "C:\\Program Files") .. "\\" .. global_install_basepath
  global_startup_check = true
  record("BeforeInit")
end

function QRVSE_BeforeInstall()
  global_install_path = InstallPath
  record("BeforeInstall")
end

function QRVSE_OnInstall() record("OnInstall") end
function QRVSE_BeforeComplete() record("BeforeComplete") end
function QRVSE_AfterComplete() record("AfterComplete") end
