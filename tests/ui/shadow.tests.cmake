# The window shadow: its computed pixels (on the target and natively under
# the sanitizers) and its window beside real framework windows under Xvfb.
set(shadow_dir ${CMAKE_CURRENT_LIST_DIR}/shadow)
kw_add_gtest(shadow_tests ${shadow_dir}/shadow_bitmap_test.cpp)
target_link_libraries(shadow_tests PRIVATE kw_ui)

kw_add_gtest(shadow_window_tests DESKTOP
  ${shadow_dir}/shadow_window_test.cpp ${CMAKE_CURRENT_LIST_DIR}/framework/framework_fixture.cpp)
target_link_libraries(shadow_window_tests PRIVATE kw_ui)
target_include_directories(shadow_window_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/framework)
target_compile_definitions(shadow_window_tests PRIVATE KW_SHADOW_SKIN=L"Z:${shadow_dir}/skin/")

add_test(NAME shadow_native.bitmap
  COMMAND ${shadow_dir}/native_bitmap_test.sh ${PROJECT_BINARY_DIR}/shadow-native)
set_tests_properties(shadow_native.bitmap PROPERTIES TIMEOUT 300)
