# Every folder includes only the folders below it.
add_test(NAME layers.check COMMAND python3 ${PROJECT_SOURCE_DIR}/tools/check_layers.py ${PROJECT_SOURCE_DIR})
