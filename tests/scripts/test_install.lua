-- Records each install event to the file named by KW_TEST_EVENTS; fails on
-- request inside the event named by KW_TEST_FAIL_IN.
local function record(line)
  local file = assert(io.open(os.getenv("KW_TEST_EVENTS"), "a"))
  file:write(line, "\n")
  file:close()
end

local function explode(event)
  error("failed in " .. event)
end

local function check(event)
  if os.getenv("KW_TEST_FAIL_IN") == event then
    explode(event)
  end
end

function QRVSE_BeforeInit()
  record("BeforeInit")
  if os.getenv("KW_TEST_SS_AFTER_INIT") == "1" then
    global_ss_install = true
  end
  check("BeforeInit")
end

function QRVSE_BeforeInstall()
  record("BeforeInstall " .. tostring(InstallPath) .. " " .. tostring(global_ss_install))
  check("BeforeInstall")
end

function QRVSE_OnInstall()
  record("OnInstall")
  check("OnInstall")
end

function QRVSE_BeforeComplete()
  record("BeforeComplete")
  check("BeforeComplete")
end

function QRVSE_AfterComplete()
  record("AfterComplete")
  check("AfterComplete")
end
