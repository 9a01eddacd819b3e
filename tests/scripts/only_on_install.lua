-- An install script with a single event, and globals named like events that
-- are not functions.
QRVSE_BeforeInstall = { "not", "a", "function" }
QRVSE_BeforeComplete = "not a function either"

function QRVSE_OnInstall()
  local file = assert(io.open(os.getenv("KW_TEST_EVENTS"), "a"))
  file:write("OnInstall\n")
  file:close()
end
