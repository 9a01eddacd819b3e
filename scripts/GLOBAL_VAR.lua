-- Product configuration of the demo installer.
global_product_name = "KWSweep"
global_app_id = 163
global_install_path = "%ProgramFiles%\\KWSweep"
global_install_mutex_guid = ""
global_enable_ss_install = false
global_ss_install = false
