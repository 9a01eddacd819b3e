-- Product configuration of the KWSweep demo installer.
-- Every address below is a placeholder under the reserved ".invalid" domain:
-- the demo product never reports anywhere.

global_install_basepath = "KWSweep"
global_http_Agent = "KWSweep2026"
global_union_id = 26330
global_union_id_x64 = 26330
global_app_id = 163
global_version = "1.0.0.2"
global_product_name = "KWSweep 磁盘清理 标准版"
global_shortcut_name = "KWSweep 磁盘清理"
global_product_name_inner = "KWSweep"
global_company_name = "KWSweep Software"
global_legalcopyright = "Copyright (C) 2026 KWSweep Software. All rights reserved."
global_main_app_name = "KWSweep.exe"
global_main_app_name_inner = "KWSweep.exe"
global_old_product_name = "KWSweep"
global_licence_url = "https://www.kwsweep.invalid/licence.html"
global_need_disk_space = 111142715
global_main_wnd_cls = "KWSweepWnd"
global_uninst_sub_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KWSweep"
global_reg_sub_key = "SOFTWARE\\KWSweep"
global_reg_run_key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\KWSweep"
global_startup_check_visable = true
global_disable_cover = false
global_cover_unionId = false
global_show_completewindow = true
global_uninstall_useui = true
global_uninstall_no_start_prompt = true
global_create_log_folder = false
global_udp_un_install_port = 8100
global_udp_install_uninstall_url = "stat.kwsweep.invalid"
global_install_PostURL = "http://stat.kwsweep.invalid/install"
global_Uninstall_PostURL = "http://stat.kwsweep.invalid/uninstall"
global_Uninstall_Suggesstion_url = "https://www.kwsweep.invalid/feedback.html"
global_AwardLnk_url = "https://www.kwsweep.invalid/feedback.html"
global_Uninstall_ReasonURL = "http://stat.kwsweep.invalid/uninstall_reason"
global_kf_QQ = 800000000
global_kf_QQQ = "https://www.kwsweep.invalid/support/chat"
global_merchant_id = "1000000001"
global_merchant_id_overwrite = false
global_startuseexplorer_level = true
global_analyze_unionid_from_commandline = true
global_disable_analyze_params_from_file_name = true
global_enable_ss_install = true
