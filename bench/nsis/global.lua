-- Configuration of the benchmark installer: a mutex of its own per run.
global_install_path = os.getenv("KW_BENCH_DEST") or "C:\\KWBench"
global_app_id = 0
global_install_mutex_guid = "Local\\kwbench-" .. tostring(os.time()) .. tostring(os.clock())
global_enable_ss_install = false
global_ss_install = false
