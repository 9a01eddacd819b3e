# Third-party code comes from Debian: source packages fetched by tools/setup.sh
# into .deps (Lua 5.2, the LZMA SDK C code), header-only packages from
# /usr/include (spdlog, fmt, stb) and GoogleTest's sources.
set(KW_DEPS_DIR ${PROJECT_SOURCE_DIR}/.deps CACHE PATH "Fetched third-party sources")
if(NOT EXISTS ${KW_DEPS_DIR}/lua/src/lua.h OR NOT EXISTS ${KW_DEPS_DIR}/7zip/C/7zArcIn.c)
  message(FATAL_ERROR "Third-party sources missing: run tools/setup.sh first")
endif()

# Lua 5.2.4 with the reference build's compatibility options.
set(LUA_SRC ${KW_DEPS_DIR}/lua/src)
file(GLOB lua_sources ${LUA_SRC}/*.c)
list(REMOVE_ITEM lua_sources ${LUA_SRC}/lua.c ${LUA_SRC}/luac.c)
add_library(lua52 STATIC ${lua_sources})
target_include_directories(lua52 SYSTEM PUBLIC ${LUA_SRC})
target_compile_definitions(lua52 PUBLIC LUA_COMPAT_ALL)
target_compile_options(lua52 PRIVATE -w)
set_target_properties(lua52 PROPERTIES LINKER_LANGUAGE C)

# The chunk compiler: the target's own luac, run under Wine, so chunks carry
# the target's 4-byte int and size_t.
add_executable(luac ${LUA_SRC}/luac.c)
target_link_libraries(luac PRIVATE lua52)
target_compile_options(luac PRIVATE -w)

# LZMA SDK 7z decoder. Its folder decoder (7zDec.c) is compiled through
# src/payload/accepted_coders.c, which accepts only the coders our payloads use.
set(LZMA_SRC ${KW_DEPS_DIR}/7zip/C)
add_library(lzma_sdk STATIC
  ${LZMA_SRC}/7zArcIn.c ${LZMA_SRC}/7zBuf.c
  ${LZMA_SRC}/7zCrc.c ${LZMA_SRC}/7zCrcOpt.c ${PROJECT_SOURCE_DIR}/src/payload/accepted_coders.c
  ${LZMA_SRC}/7zStream.c ${LZMA_SRC}/Bcj2.c ${LZMA_SRC}/Bra.c
  ${LZMA_SRC}/Bra86.c ${LZMA_SRC}/BraIA64.c ${LZMA_SRC}/CpuArch.c ${LZMA_SRC}/Delta.c
  ${LZMA_SRC}/Lzma2Dec.c ${LZMA_SRC}/LzmaDec.c)
target_include_directories(lzma_sdk SYSTEM PUBLIC ${LZMA_SRC})
target_compile_definitions(lzma_sdk PUBLIC UNICODE _UNICODE)
target_compile_options(lzma_sdk PRIVATE -w)

# The LZMA SDK's encoders for the packer: LZMA2 over the LZMA encoder and its
# match finder, single-threaded (the packer compresses one folder at a time).
add_library(lzma_sdk_enc STATIC
  ${LZMA_SRC}/LzFind.c ${LZMA_SRC}/LzFindOpt.c ${LZMA_SRC}/LzmaEnc.c ${LZMA_SRC}/Lzma2Enc.c)
target_compile_definitions(lzma_sdk_enc PUBLIC Z7_ST)
target_link_libraries(lzma_sdk_enc PUBLIC lzma_sdk)
target_compile_options(lzma_sdk_enc PRIVATE -w)

# Header-only libraries: a private include folder with links to just their
# folders (the system include root would bring glibc's headers along).
set(KW_SYSINC ${PROJECT_BINARY_DIR}/sysinc)
foreach(dir spdlog fmt stb)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} missing: run tools/setup.sh first")
  endif()
  file(MAKE_DIRECTORY ${KW_SYSINC})
  file(CREATE_LINK /usr/include/${dir} ${KW_SYSINC}/${dir} SYMBOLIC)
endforeach()
add_library(header_only INTERFACE)
target_include_directories(header_only SYSTEM INTERFACE ${KW_SYSINC})
target_compile_definitions(header_only INTERFACE FMT_HEADER_ONLY SPDLOG_FMT_EXTERNAL)

# GoogleTest, built for the target.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
