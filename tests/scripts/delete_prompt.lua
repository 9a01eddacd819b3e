-- Deletes "占用.txt" in the folder KW_TEST_FOLDER with the asking delete and
-- records the result (and whether the install went on) to KW_TEST_EVENTS.
-- The name is spelled here, in UTF-8: os.getenv reads the ANSI code page.
local function record(line)
  local file = assert(io.open(os.getenv("KW_TEST_EVENTS"), "a"))
  file:write(line, "\n")
  file:close()
end

function QRVSE_OnInstall()
  record("OnInstall")
  record("result " .. tostring(Lua_DeleteFile(os.getenv("KW_TEST_FOLDER") .. "\\占用.txt")))
end

function QRVSE_AfterComplete()
  record("AfterComplete")
end
