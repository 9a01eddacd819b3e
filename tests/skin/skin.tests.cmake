# The shipped skin as the installers carry it: the images the markup names
# and their DPI variants, the controls the dialog expects, crisp sprite
# states at every DPI, a QR code that holds the product's address, the same
# assembled folder in the built and the packed installer, and text that fits
# its boxes in the preview at every DPI (tools/skin/preview.py).
set(skin_check ${CMAKE_CURRENT_LIST_DIR}/check_skin.py)
set(skin_setup ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/KWSweepSetup.exe)
set(skin_packed ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/KWSweepSetupPacked.exe)
add_test(NAME skin.images COMMAND python3 ${skin_check} images ${KW_SKIN_TOOL} ${skin_setup})
add_test(NAME skin.controls COMMAND python3 ${skin_check} controls ${skin_setup})
add_test(NAME skin.sprites COMMAND python3 ${skin_check} sprites ${KW_SKIN_TOOL} ${skin_setup})
add_test(NAME skin.quickmark COMMAND python3 ${skin_check} quickmark ${KW_PRODUCT_URL} ${skin_setup})
add_test(NAME skin.same_in_packed COMMAND python3 ${skin_check} same ${KW_SKIN_DIR} ${skin_setup} ${skin_packed})
add_test(NAME skin.preview_text_fits
  COMMAND python3 ${PROJECT_SOURCE_DIR}/tools/skin/preview.py ${KW_SKIN_TOOL} ${KW_SKIN_DIR}
          ${PROJECT_BINARY_DIR}/skin-preview 100 125 150 175 200)
set_tests_properties(skin.images skin.controls skin.sprites skin.quickmark skin.same_in_packed
  skin.preview_text_fits PROPERTIES TIMEOUT 120)
