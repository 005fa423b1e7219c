# Warnings, sanitizers and the Windows runtime settings shared by every target.

add_library(kestrova_options INTERFACE)
target_compile_options(kestrova_options INTERFACE -Wall -Wextra -Werror -Wno-missing-field-initializers)

if(KESTROVA_SANITIZE)
  target_compile_options(kestrova_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kestrova_options INTERFACE -fsanitize=address,undefined)
endif()

if(KESTROVA_FUZZ)
  target_compile_options(kestrova_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  target_link_options(kestrova_options INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  # Fixed texts are written in UTF-8 and stored as code page 932 bytes.
  target_compile_options(kestrova_options INTERFACE -finput-charset=UTF-8 -fexec-charset=CP932)
  target_compile_definitions(kestrova_options INTERFACE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
  # One self-contained executable: no C/C++ runtime DLLs beside it.
  target_link_options(kestrova_options INTERFACE -static -static-libgcc -static-libstdc++)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "i686|x86$")
    target_compile_options(kestrova_options INTERFACE -msse2 -mfpmath=sse)
  endif()
endif()

# Adds a GoogleTest executable that runs under CTest.
function(kestrova_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kestrova_gtest kestrova_options)
  add_test(NAME ${name} COMMAND ${name})
endfunction()
