-- Install script of the packed test installers: records each event to
-- KW_TEST_EVENTS and extracts the payload into KW_TEST_DEST on install.
local function record(line)
  local file = assert(io.open(os.getenv("KW_TEST_EVENTS"), "a"))
  file:write(line, "\n")
  file:close()
end

function QRVSE_BeforeInit() record("BeforeInit") end
function QRVSE_BeforeInstall() record("BeforeInstall") end

function QRVSE_OnInstall()
  record("OnInstall")
  record("extracted " .. tostring(Lua_UnCompress7z("App.7z", os.getenv("KW_TEST_DEST"))))
end

function QRVSE_BeforeComplete() record("BeforeComplete") end
function QRVSE_AfterComplete() record("AfterComplete") end
