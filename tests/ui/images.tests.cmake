# Skin images (descriptors, decoding, drawing) and the basic controls.
kw_add_gtest(ui_image_tests ui/images/descriptor_test.cpp)
target_link_libraries(ui_image_tests PRIVATE kw_ui)
