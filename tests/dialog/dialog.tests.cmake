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

