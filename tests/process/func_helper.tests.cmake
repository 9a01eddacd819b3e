# The demo product's support library, called directly, and the rights it grants.
kw_add_gtest(func_helper_tests process/func_helper_test.cpp)
target_include_directories(func_helper_tests PRIVATE ${PROJECT_SOURCE_DIR}/resources/demo-product)
target_link_libraries(func_helper_tests PRIVATE advapi32)
add_dependencies(func_helper_tests func_helper)
