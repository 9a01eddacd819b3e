# The install dialog: its rules in-process, and a person's installation by
# mouse and keys in fresh 64-bit prefixes at 96 and 144 DPI (screenshots of
# the three views stay in build/win32/dialog-work/artefacts).
kw_add_gtest(dialog_tests dialog/install_rules_test.cpp dialog/dialog_script_test.cpp)
target_link_libraries(dialog_tests PRIVATE kw_dialog)

foreach(dpi 96 144)
  add_test(NAME dialog.window_install_${dpi}
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/dialog/window_install.py $<TARGET_FILE:KWSweepSetup>
            ${CMAKE_BINARY_DIR}/dialog-work --dpi ${dpi})
  set_tests_properties(dialog.window_install_${dpi} PROPERTIES TIMEOUT 600 RESOURCE_LOCK desktop)
endforeach()

add_test(NAME dialog.window_edges
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/dialog/window_edges.py $<TARGET_FILE:KWSweepSetup>
          ${CMAKE_BINARY_DIR}/dialog-work)
set_tests_properties(dialog.window_edges PROPERTIES TIMEOUT 600 RESOURCE_LOCK desktop)


# The shipped configuration and skin with install events that record
# themselves and last as long as the test asks, and the caller's listen
# window: the dialog's remaining cases, by mouse and keys.
file(READ ${PROJECT_SOURCE_DIR}/scripts/GLOBAL_VAR.lua dialog_globals)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/dialog_cases_global.lua @ONLY CONTENT
  "${dialog_globals}\nglobal_app_id = tonumber(os.getenv(\"KW_DIALOG_APP_ID\") or \"\") or global_app_id\n")
kw_add_installer(kwtest_dialog
  GLOBAL_VAR ${CMAKE_CURRENT_BINARY_DIR}/dialog_cases_global.lua
  INSTSCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/dialog/dialog_events.lua
  SKIN_DIR ${KW_SKIN_DIR})
add_executable(kwtest_listen_window WIN32 dialog/listen_window.c)
target_link_libraries(kwtest_listen_window PRIVATE shell32)
target_link_options(kwtest_listen_window PRIVATE -municode)
add_test(NAME dialog.window_cases
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/dialog/window_cases.py $<TARGET_FILE:kwtest_dialog>
          $<TARGET_FILE:kwtest_listen_window> ${CMAKE_BINARY_DIR}/dialog-work)
set_tests_properties(dialog.window_cases PROPERTIES TIMEOUT 600 RESOURCE_LOCK desktop)
