-- Test configuration, embedded as a text chunk. The environment steers it.
global_install_path = os.getenv("KW_TEST_INSTALL_PATH") or "C:\\KWTest\\App"
global_app_id = tonumber(os.getenv("KW_TEST_APP_ID") or "0")
-- KW_TEST_MUTEX "<none>" leaves the name out, "<empty>" makes it "".
local mutex = os.getenv("KW_TEST_MUTEX") or "Local\\kwtest-" .. tostring(os.time()) .. tostring(os.clock())
if mutex == "<none>" then mutex = nil elseif mutex == "<empty>" then mutex = "" end
global_install_mutex_guid = mutex
global_enable_ss_install = os.getenv("KW_TEST_ENABLE_SS") == "1"
global_ss_install = false
