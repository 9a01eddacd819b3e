-- Test configuration, embedded as a text chunk. The environment steers it.
global_install_path = os.getenv("KW_TEST_INSTALL_PATH") or "C:\\KWTest\\App"
global_app_id = tonumber(os.getenv("KW_TEST_APP_ID") or "0")
global_install_mutex_guid = os.getenv("KW_TEST_MUTEX") or "Local\\kwtest-" .. tostring(os.time()) .. tostring(os.clock())
global_enable_ss_install = os.getenv("KW_TEST_ENABLE_SS") == "1"
global_ss_install = false
