# Cross build for 32-bit Windows with MinGW-w64 (posix thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZIRVO_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZIRVO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIRVO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZIRVO_MINGW_PREFIX}-windres)
set(CMAKE_AR ${ZIRVO_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZIRVO_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${ZIRVO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime and winpthread: the DLL and the test programs import only
# system DLLs, so nothing has to be copied beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine.
find_program(ZIRVO_WINE wine)
if(ZIRVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZIRVO_WINE})
endif()

# Static image libraries cross-built from Debian's sources by
# scripts/build-windows-deps.sh; without them the DLL leaves out the encoders.
get_filename_component(ZIRVO_MINGW_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build/mingw-deps" ABSOLUTE)
if(EXISTS "${ZIRVO_MINGW_DEPS}/.complete")
  list(APPEND CMAKE_FIND_ROOT_PATH "${ZIRVO_MINGW_DEPS}")
endif()
