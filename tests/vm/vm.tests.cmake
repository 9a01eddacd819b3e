# The guest's forwarding itself, where the build and the tests use it.
if(KW_WINE_VM)
  add_test(NAME vm.forwarding COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/vm/forward_test.sh)
  set_tests_properties(vm.forwarding PROPERTIES TIMEOUT 300)
endif()
