# What a user gets: the help page beside kestrova.exe in every Windows build
# (the dialog's ヘルプ opens it from the executable's folder), and the
# `package` target's ZIP with the two files at its root, ready to be copied
# into the folder the help page recommends.
if(NOT TARGET kestrova)
  return()
endif()

set(kestrova_readme ${PROJECT_SOURCE_DIR}/resources/ReadMe.htm)

# A target of its own rather than a post-build step, so an edited page is
# copied again even when kestrova.exe is up to date.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/ReadMe.htm
  COMMAND ${CMAKE_COMMAND} -E copy ${kestrova_readme} ${CMAKE_BINARY_DIR}/ReadMe.htm
  DEPENDS ${kestrova_readme}
  COMMENT "Copying ReadMe.htm beside kestrova.exe"
  VERBATIM)
add_custom_target(kestrova_readme ALL DEPENDS ${CMAKE_BINARY_DIR}/ReadMe.htm)
add_dependencies(kestrova kestrova_readme)

install(TARGETS kestrova RUNTIME DESTINATION .)
install(FILES ${kestrova_readme} DESTINATION .)

# The version the executable's resources declare, so the archive's name
# cannot disagree with the program inside it.
file(STRINGS ${PROJECT_SOURCE_DIR}/resources/kestrova.rc kestrova_version_line
     REGEX "VALUE \"ProductVersion\", \"[0-9.]+\"")
string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" kestrova_version "${kestrova_version_line}")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(kestrova_platform win32)
else()
  set(kestrova_platform win64)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VERSION ${kestrova_version})
set(CPACK_PACKAGE_FILE_NAME kestrova-${kestrova_version}-${kestrova_platform})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
