# The rich edit: its text host over the system's text engine, and the control
# in real windows driven by real input.
set(richedit_dir ${CMAKE_CURRENT_LIST_DIR}/richedit)

# An engine whose object cannot be made, loaded from beside the tests.
add_library(kwtest_text_engine SHARED ${richedit_dir}/engine_standin.c)
set_target_properties(kwtest_text_engine PROPERTIES PREFIX "")
target_link_options(kwtest_text_engine PRIVATE -Wl,--kill-at)

kw_add_gtest(richedit_host_tests DESKTOP ${richedit_dir}/host_test.cpp ${richedit_dir}/rich_edit_math_test.cpp)
target_link_libraries(richedit_host_tests PRIVATE kw_ui)
add_dependencies(richedit_host_tests kwtest_text_engine)

# The path field in real windows (the framework's test window and its Unix
# tools), with a frame image of our own.
kw_add_gtest(richedit_control_tests DESKTOP ${richedit_dir}/rich_edit_test.cpp
             ${CMAKE_CURRENT_LIST_DIR}/framework/framework_fixture.cpp)
target_link_libraries(richedit_control_tests PRIVATE kw_ui)
target_include_directories(richedit_control_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/framework)
target_compile_definitions(richedit_control_tests PRIVATE KW_RICHEDIT_SKIN=L"Z:${richedit_dir}/skin/")
