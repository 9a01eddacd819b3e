-- Install events for the dialog tests: each one recorded to the file named
-- by KW_DIALOG_EVENTS; the install itself lasts KW_DIALOG_INSTALL_SECONDS.
local function record(line)
  local file = assert(io.open(os.getenv("KW_DIALOG_EVENTS"), "a"))
  file:write(line, "\n")
  file:close()
end

function QRVSE_BeforeInit() record("BeforeInit") end

function QRVSE_BeforeInstall() record("BeforeInstall " .. tostring(InstallPath)) end

function QRVSE_OnInstall()
  record("OnInstall")
  local seconds = tonumber(os.getenv("KW_DIALOG_INSTALL_SECONDS") or "0")
  local start = os.time()
  local until_clock = os.clock() + seconds
  -- Lua has no sleep: wait on the processor clock, bounded by the wall clock.
  while os.clock() < until_clock and os.difftime(os.time(), start) <= seconds + 1 do end
end

function QRVSE_BeforeComplete() record("BeforeComplete") end

function QRVSE_AfterComplete() record("AfterComplete") end
