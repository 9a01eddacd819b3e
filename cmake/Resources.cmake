# Building an installer executable around scripts, a payload and a skin.
#
# kw_add_installer(<target>
#   [GLOBAL_VAR <files>] [INSTSCRIPT <files>] [UNINSTSCRIPT <files>]
#                                 (several files make one chunk that runs them in order)
#   [GLOBAL_VAR_TEXT <file>] [INSTSCRIPT_TEXT <file>] [UNINSTSCRIPT_TEXT <file>]
#                                 (the _TEXT forms embed the file as it is)
#   [PAYLOAD_DIR <folder>] [PAYLOAD_DEPENDS <files...>] [SKIN_DIR <folder>]
#   [SOURCES <extra sources...>])
#
# PAYLOAD_DEPENDS names the outputs that fill a payload folder assembled at
# build time (its files are not known when configuring). The shipped skin,
# SKIN_DIR ${KW_SKIN_DIR}, is assembled at build time too (cmake/Skin.cmake);
# installers around it depend on its stamp by themselves.
#
# A script that is not given has no resource at all. Scripts are compiled to
# stripped Lua 5.2 chunks by the target's own luac under Wine, so the chunks
# carry the target's 4-byte int and size_t.

set(KW_WINE_RUN ${PROJECT_SOURCE_DIR}/tools/wine/run)
set(KW_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)
include(${CMAKE_CURRENT_LIST_DIR}/Skin.cmake)

# The files a skin folder is made of, for dependencies: the assembled skin's
# stamp, or the files found in the folder now.
function(kw_skin_dependencies folder out)
  if(folder STREQUAL KW_SKIN_DIR)
    set(${out} ${KW_SKIN_STAMP} PARENT_SCOPE)
  else()
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${folder}/*)
    set(${out} ${files} PARENT_SCOPE)
  endif()
endfunction()

function(kw_compile_chunk out)
  set(inputs)
  foreach(source ${ARGN})
    list(APPEND inputs Z:${source})
  endforeach()
  add_custom_command(OUTPUT ${out}
    COMMAND ${KW_WINE_RUN} $<TARGET_FILE:luac> -s -o Z:${out} ${inputs}
    DEPENDS luac ${ARGN}
    COMMENT "Compiling chunk ${out}"
    VERBATIM)
endfunction()

function(kw_add_installer target)
  cmake_parse_arguments(ARG ""
    "GLOBAL_VAR_TEXT;INSTSCRIPT_TEXT;UNINSTSCRIPT_TEXT;PAYLOAD_DIR;SKIN_DIR"
    "GLOBAL_VAR;INSTSCRIPT;UNINSTSCRIPT;SOURCES;PAYLOAD_DEPENDS" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
  file(MAKE_DIRECTORY ${dir})
  add_custom_command(OUTPUT ${dir}/app.ico
    COMMAND python3 ${PROJECT_SOURCE_DIR}/tools/make_icon.py ${dir}/app.ico
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py VERBATIM)
  set(generated ${dir}/app.ico)
  set(rc "#include <windows.h>\n")
  string(APPEND rc "1 24 \"${KW_RESOURCE_DIR}/installer.manifest\"\n")
  string(APPEND rc "128 ICON \"${dir}/app.ico\"\n")

  foreach(script GLOBAL_VAR INSTSCRIPT UNINSTSCRIPT)
    set(chunk ${dir}/${script}.LUAC)
    if(ARG_${script}_TEXT)
      add_custom_command(OUTPUT ${chunk}
        COMMAND ${CMAKE_COMMAND} -E copy ${ARG_${script}_TEXT} ${chunk}
        DEPENDS ${ARG_${script}_TEXT} VERBATIM)
    elseif(NOT ARG_${script})
      continue()
    else()
      kw_compile_chunk(${chunk} ${ARG_${script}})
    endif()
    list(APPEND generated ${chunk})
    string(APPEND rc "${script}.LUAC LUA \"${chunk}\"\n")
  endforeach()

  if(ARG_PAYLOAD_DIR)
    file(GLOB_RECURSE payload_files CONFIGURE_DEPENDS ${ARG_PAYLOAD_DIR}/*)
    add_custom_command(OUTPUT ${dir}/APP.7Z
      COMMAND ${PROJECT_SOURCE_DIR}/tools/pack_payload.sh ${dir}/APP.7Z ${ARG_PAYLOAD_DIR}
      DEPENDS ${payload_files} ${ARG_PAYLOAD_DEPENDS} ${PROJECT_SOURCE_DIR}/tools/pack_payload.sh VERBATIM)
    list(APPEND generated ${dir}/APP.7Z)
    string(APPEND rc "APP.7Z _7Z \"${dir}/APP.7Z\"\n")
  endif()

  if(ARG_SKIN_DIR)
    kw_skin_dependencies(${ARG_SKIN_DIR} skin_files)
    add_custom_command(OUTPUT ${dir}/skin.zip
      COMMAND ${CMAKE_COMMAND} -E rm -f ${dir}/skin.zip
      COMMAND zip -q -r -X ${dir}/skin.zip .
      WORKING_DIRECTORY ${ARG_SKIN_DIR}
      DEPENDS ${skin_files} VERBATIM)
    list(APPEND generated ${dir}/skin.zip)
    string(APPEND rc "249 ZIP \"${dir}/skin.zip\"\n")
  endif()

  set(v ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK})
  string(APPEND rc "
VS_VERSION_INFO VERSIONINFO
FILEVERSION ${v}
PRODUCTVERSION ${v}
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
BEGIN
  BLOCK \"StringFileInfo\"
  BEGIN
    BLOCK \"080404b0\"
    BEGIN
      VALUE \"CompanyName\", \"KWSweep\"
      VALUE \"FileDescription\", \"KWSweep Setup\"
      VALUE \"FileVersion\", \"${PROJECT_VERSION}\"
      VALUE \"ProductName\", \"KWSweep\"
      VALUE \"ProductVersion\", \"${PROJECT_VERSION}\"
    END
  END
  BLOCK \"VarFileInfo\"
  BEGIN
    VALUE \"Translation\", 0x0804, 1200
  END
END
")
  file(CONFIGURE OUTPUT ${dir}/installer.rc CONTENT "${rc}")
  set_source_files_properties(${dir}/installer.rc PROPERTIES OBJECT_DEPENDS "${generated}")
  add_custom_target(${target}_resources DEPENDS ${generated})

  add_executable(${target} WIN32 ${PROJECT_SOURCE_DIR}/src/installer/main.cpp ${dir}/installer.rc ${ARG_SOURCES})
  add_dependencies(${target} ${target}_resources)
  target_link_libraries(${target} PRIVATE kw_dialog kw_installer)
  # Large-address-aware: a 64-bit Windows then gives the 32-bit installer
  # 4 GB of address space for the payload's solid blocks.
  target_link_options(${target} PRIVATE -municode -Wl,--large-address-aware)
  # Shipped without its debug information, which is eight times the size of
  # the rest and slows every start under Wine by tens of milliseconds; it is
  # kept beside it (<installer>.debug, found by gdb through the debug link).
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
    COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${target}>
    COMMAND ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()

# Packing an installer with kwpack around a prebuilt engine, the way a vendor
# does without a compiler.
#
# kw_pack_installer(<target> OUTPUT <Setup.exe>
#   GLOBAL_VAR <file> INSTSCRIPT <file> UNINSTSCRIPT <file>
#   PAYLOAD_DIR <folder> | PAYLOAD_7Z <archive>   SKIN_DIR <folder>
#   [ENGINE <engine target or file>]   (default: the KWSweepSetup engine)
#   [ICON <file.ico>] [VERSION a.b.c.d] [COMPANY text] [PRODUCT text]
#   [DESCRIPTION text] [COPYRIGHT text] [PAYLOAD_OUT <standard 7z copy>]
#   [DEPENDS <files or targets...>])
function(kw_pack_installer target)
  set(values OUTPUT GLOBAL_VAR INSTSCRIPT UNINSTSCRIPT PAYLOAD_DIR PAYLOAD_7Z SKIN_DIR ENGINE ICON VERSION
             COMPANY PRODUCT DESCRIPTION COPYRIGHT PAYLOAD_OUT)
  cmake_parse_arguments(ARG "" "${values}" "DEPENDS" ${ARGN})
  foreach(required OUTPUT GLOBAL_VAR INSTSCRIPT UNINSTSCRIPT SKIN_DIR)
    if(NOT ARG_${required})
      message(FATAL_ERROR "kw_pack_installer(${target}): ${required} missing")
    endif()
  endforeach()
  if(NOT ARG_ENGINE)
    set(ARG_ENGINE KWSweepSetup)
  endif()
  set(engine ${ARG_ENGINE})
  set(depends kwpack ${ARG_DEPENDS} ${ARG_GLOBAL_VAR} ${ARG_INSTSCRIPT} ${ARG_UNINSTSCRIPT})
  if(TARGET ${ARG_ENGINE})
    set(engine $<TARGET_FILE:${ARG_ENGINE}>)
  endif()
  list(APPEND depends ${ARG_ENGINE})

  set(args --engine Z:${engine} --out Z:${ARG_OUTPUT} --global Z:${ARG_GLOBAL_VAR}
           --install Z:${ARG_INSTSCRIPT} --uninstall Z:${ARG_UNINSTSCRIPT} --skin-dir Z:${ARG_SKIN_DIR})
  if(ARG_PAYLOAD_DIR)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${ARG_PAYLOAD_DIR}/*)
    list(APPEND depends ${files})
  endif()
  kw_skin_dependencies(${ARG_SKIN_DIR} skin_files)
  list(APPEND depends ${skin_files})
  if(ARG_PAYLOAD_DIR)
    list(APPEND args --payload-dir Z:${ARG_PAYLOAD_DIR})
  elseif(ARG_PAYLOAD_7Z)
    list(APPEND args --payload-7z Z:${ARG_PAYLOAD_7Z})
    list(APPEND depends ${ARG_PAYLOAD_7Z})
  else()
    message(FATAL_ERROR "kw_pack_installer(${target}): PAYLOAD_DIR or PAYLOAD_7Z missing")
  endif()
  set(outputs ${ARG_OUTPUT})
  if(ARG_ICON)
    list(APPEND args --icon Z:${ARG_ICON})
    list(APPEND depends ${ARG_ICON})
  endif()
  if(ARG_PAYLOAD_OUT)
    list(APPEND args --payload-out Z:${ARG_PAYLOAD_OUT})
    list(APPEND outputs ${ARG_PAYLOAD_OUT})
  endif()
  foreach(field VERSION COMPANY PRODUCT DESCRIPTION COPYRIGHT)
    if(ARG_${field})
      string(TOLOWER ${field} option)
      list(APPEND args --${option} ${ARG_${field}})
    endif()
  endforeach()

  add_custom_command(OUTPUT ${outputs}
    COMMAND ${KW_WINE_RUN} $<TARGET_FILE:kwpack> ${args}
    DEPENDS ${depends}
    COMMENT "Packing ${ARG_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
