# The shipped skin, assembled at build time into ${KW_SKIN_DIR}: the markup,
# fonts and SVG sprites of resources/skin, the raster backgrounds rendered
# from our SVG art by our own renderer at 100, 125, 150, 175 and 200 % (the
# "@125" ... "@200" variants), and the QR code of the product's address.
# Installers take it with SKIN_DIR ${KW_SKIN_DIR} and depend on
# ${KW_SKIN_STAMP} (Ninja lets any directory name it).

set(KW_PRODUCT_URL "https://www.kwsweep.invalid/")
set(skin_source ${PROJECT_SOURCE_DIR}/resources/skin)
set(skin_tools ${PROJECT_SOURCE_DIR}/tools/skin)
set(skin_build ${PROJECT_BINARY_DIR}/skin-build)
set(skin_generated ${skin_build}/generated)
set(KW_SKIN_DIR ${PROJECT_BINARY_DIR}/skin CACHE INTERNAL "")
set(KW_SKIN_STAMP ${PROJECT_BINARY_DIR}/skin.stamp CACHE INTERNAL "")
# The native skin tool (renders, probes, previews); the skin tests use it too.
set(KW_SKIN_TOOL ${skin_build}/tools/skin_tool CACHE INTERNAL "")

file(GLOB svg_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/ui/svg/*)
add_custom_command(OUTPUT ${KW_SKIN_TOOL}
  COMMAND ${skin_tools}/native.sh ${skin_build}/tools
  DEPENDS ${skin_tools}/native.sh ${skin_tools}/CMakeLists.txt ${skin_tools}/skin_tool.cpp ${svg_sources}
  COMMENT "Building the native skin tool" VERBATIM)

set(backgrounds BkViewInit InstallBk0 InstallBk1 InstallBk2 BkViewComplete)
set(art)
foreach(name ${backgrounds})
  list(APPEND art ${skin_build}/art/${name}.svg)
endforeach()
add_custom_command(OUTPUT ${art}
  COMMAND python3 ${skin_tools}/make_backgrounds.py ${skin_build}/art
  DEPENDS ${skin_tools}/make_backgrounds.py
  COMMENT "Writing the skin's background art" VERBATIM)

set(generated)
foreach(name ${backgrounds})
  set(outputs)
  set(commands)
  foreach(percent 100 125 150 175 200)
    if(percent EQUAL 100)
      set(png ${skin_generated}/Image/${name}.png)
    else()
      set(png ${skin_generated}/Image/${name}@${percent}.png)
    endif()
    math(EXPR whole "${percent} / 100")
    math(EXPR part "${percent} % 100")
    list(APPEND outputs ${png})
    list(APPEND commands COMMAND ${KW_SKIN_TOOL} render ${skin_build}/art/${name}.svg ${png} ${whole}.${part})
  endforeach()
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${skin_generated}/Image
    ${commands}
    DEPENDS ${KW_SKIN_TOOL} ${skin_build}/art/${name}.svg
    COMMENT "Rendering Image/${name}.png at five DPIs" VERBATIM)
  list(APPEND generated ${outputs})
endforeach()

add_custom_command(OUTPUT ${skin_generated}/Image/QuickMark.jpg
  COMMAND ${CMAKE_COMMAND} -E make_directory ${skin_generated}/Image
  COMMAND ${skin_tools}/make_quickmark.sh ${KW_PRODUCT_URL} ${skin_generated}/Image/QuickMark.jpg
  DEPENDS ${skin_tools}/make_quickmark.sh
  COMMENT "Making the QR code of ${KW_PRODUCT_URL}" VERBATIM)
list(APPEND generated ${skin_generated}/Image/QuickMark.jpg)

file(GLOB_RECURSE skin_files CONFIGURE_DEPENDS ${skin_source}/*)
add_custom_command(OUTPUT ${KW_SKIN_STAMP}
  COMMAND python3 ${skin_tools}/assemble.py ${skin_source} ${skin_generated} ${KW_SKIN_DIR} ${KW_SKIN_STAMP}
  DEPENDS ${skin_tools}/assemble.py ${skin_files} ${generated}
  COMMENT "Assembling the skin" VERBATIM)
add_custom_target(skin ALL DEPENDS ${KW_SKIN_STAMP})
