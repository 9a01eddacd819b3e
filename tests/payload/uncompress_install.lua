-- Runs the one Lua_UnCompress7z call given by KW_TEST_CALL (a chunk) and
-- records the callbacks it makes and its result to KW_TEST_RECORD.
local function record(line)
  local file = assert(io.open(os.getenv("KW_TEST_RECORD"), "a"))
  file:write(line, "\n")
  file:close()
end

local function exists(path)
  local file = io.open(path, "r")
  if file then file:close() end
  return file ~= nil
end

dest = os.getenv("KW_TEST_DEST")

function progress(path)
  record("progress " .. path)
end

-- KW_TEST_ANSWER: a number to return; "nothing" to return no value;
-- "wait" to signal KW_TEST_ASKED, wait until KW_TEST_RELEASED exists and
-- return no value (stop with 2 if it never comes).
function onError(path, code)
  record("error " .. path .. " " .. tostring(code))
  local answer = os.getenv("KW_TEST_ANSWER")
  if answer == "wait" then
    assert(io.open(os.getenv("KW_TEST_ASKED"), "w")):close()
    local deadline = os.time() + 30
    while os.time() < deadline do
      if exists(os.getenv("KW_TEST_RELEASED")) then return end
    end
    return 2
  end
  if answer == "nothing" then return end
  return tonumber(answer)
end

function QRVSE_OnInstall()
  local call = assert(load(os.getenv("KW_TEST_CALL")))
  record("result " .. tostring(call()))
end
