# Warning, sanitizer and instruction-set flags shared by every target.

set(ZIRVO_WARNINGS -Wall -Wextra)
if(ZIRVO_WERROR)
  list(APPEND ZIRVO_WARNINGS -Werror)
  # GCC 12 at -O3 reports these inside libstdc++'s own string code (bounds it
  # derives for paths no call takes): shown, not fatal.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    list(APPEND ZIRVO_WARNINGS -Wno-error=restrict -Wno-error=stringop-overread)
  endif()
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:CXX,C>:${ZIRVO_WARNINGS}>")

if(ZIRVO_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ZIRVO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ZIRVO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZIRVO_SANITIZE must be empty, address or thread")
endif()

# x86 floating point must round like SSE2 on every target so that kernels that
# truncate floating-point products give the same bytes everywhere.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_options(-msse2 -mfpmath=sse)
endif()

# Pixel kernels: vector variants live in files named after the instruction set
# they need; only those files are compiled for it, and the choice of variant is
# made at run time from the processor detection.
function(zirvo_kernel_flags)
  foreach(source IN LISTS ARGN)
    if(source MATCHES "_avx512\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS
        "-O3;-mavx512f;-mavx512bw;-mavx512vl;-mavx512dq;-mavx512vbmi;-mavx2;-mfma;-mbmi2")
    elseif(source MATCHES "_avx2\\.cpp$")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-O3;-mavx2;-mfma;-mbmi2")
    elseif(source MATCHES "/convert/")
      set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "-O3")
    endif()
  endforeach()
endfunction()
