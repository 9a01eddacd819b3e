# Skin images (descriptors, decoding, drawing) and the basic controls, over
# a skin archive made at build time (tests/ui/images/make_image_skin.py).
set(image_skin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/ui_data/images-skin.zip)
file(GLOB image_skin_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/images/skin/Image/*)
add_custom_command(OUTPUT ${image_skin}
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/ui/images/make_image_skin.py
          ${CMAKE_CURRENT_SOURCE_DIR}/ui/images/skin ${image_skin}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/images/make_image_skin.py ${image_skin_files}
  COMMENT "Making the image test skin" VERBATIM)
add_custom_target(ui_image_skin DEPENDS ${image_skin})

kw_add_gtest(ui_image_tests ui/images/descriptor_test.cpp ui/images/decode_test.cpp ui/images/load_test.cpp
             ui/images/draw_test.cpp ui/images/prefetch_test.cpp)
target_link_libraries(ui_image_tests PRIVATE kw_ui)
target_include_directories(ui_image_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui)
add_dependencies(ui_image_tests ui_image_skin)

# The controls and the image caches in real windows, under the real mouse.
kw_add_gtest(ui_control_tests DESKTOP ui/controls/controls_test.cpp ui/controls/showcase_test.cpp
             ui/images/cache_test.cpp ui/framework/framework_fixture.cpp)
target_link_libraries(ui_control_tests PRIVATE kw_ui)
target_include_directories(ui_control_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui ${CMAKE_CURRENT_SOURCE_DIR}/ui/images
                           ${CMAKE_CURRENT_SOURCE_DIR}/ui/controls ${CMAKE_CURRENT_SOURCE_DIR}/ui/framework)
add_dependencies(ui_control_tests ui_image_skin)

# Descriptors and decoding natively too, under the sanitizers (a build folder
# of its own, so that it never races the arithmetic's build).
add_test(NAME ui_native.images
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/ui/native/check.sh ${PROJECT_BINARY_DIR}/ui-native-images ui_images_native)
set_tests_properties(ui_native.images PROPERTIES TIMEOUT 600)
