# Fails when the core (CPath/, geometry/, BaseLib/) includes anything but the
# C++ standard library and the declarations in interfaces/: no header of our
# own libraries (geo/, map/, network/, route/, nav/, drive/) and nothing of
# a third party. Usage: cmake -DSOURCE_DIR=<source root> -P check_core_includes.cmake
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/CPath/* ${SOURCE_DIR}/geometry/* ${SOURCE_DIR}/BaseLib/*)
set(bad "")
foreach(f ${files})
  if(NOT f MATCHES "\\.(h|cpp)$")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "#[ \t]*include[ \t]*\"(CPath|geometry|BaseLib|interfaces)/[^\"/]+\"")
      continue()  # the core itself, or the interface declarations
    endif()
    if(line MATCHES "#[ \t]*include[ \t]*<[a-z_]+>")
      continue()  # a standard library header: no folder, no extension
    endif()
    string(APPEND bad "  ${f}: ${line}\n")
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "the core may include only the standard library and interfaces/:\n${bad}")
endif()
list(LENGTH files n)
message(STATUS "core includes: ${n} files checked")
