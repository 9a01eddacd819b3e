# The UI framework: its arithmetic natively and on the target, and real
# windows built from skin markup (mouse input by xdotool, screenshots by
# import under Xvfb).
kw_add_gtest(ui_framework_tests DESKTOP
  ui/framework/arithmetic_test.cpp ui/framework/framework_fixture.cpp ui/framework/framework_test.cpp)
target_link_libraries(ui_framework_tests PRIVATE kw_ui)
target_include_directories(ui_framework_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui/framework)
target_compile_definitions(ui_framework_tests PRIVATE
  KW_UI_FRAMEWORK_DATA=L"Z:${CMAKE_CURRENT_SOURCE_DIR}/ui/framework/skin/")

# A window from a skin file, printing what it is told: the process-level
# checks (the exit code of a skin that cannot be built) and manual runs.
add_executable(ui_framework_driver WIN32 ui/framework/framework_driver.cpp)
target_link_libraries(ui_framework_driver PRIVATE kw_ui)
target_link_options(ui_framework_driver PRIVATE -municode -mconsole)
add_dependencies(ui_framework_tests ui_framework_driver)

add_test(NAME ui_native.arithmetic
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/ui/native/check.sh ${PROJECT_BINARY_DIR}/ui-native)
set_tests_properties(ui_native.arithmetic PROPERTIES TIMEOUT 300)
