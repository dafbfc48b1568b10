# Installs a build to a temporary prefix and compiles every installed header
# on its own as C++17 (what an application may still use) with warnings as
# errors: each must include what it needs and nothing of the build tree.
# Usage: cmake -DBUILD_DIR=<build> -DCXX=<compiler> -DWORK=<scratch dir> -P check_headers.cmake
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK}/prefix
  OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
set(inc ${WORK}/prefix/include/VX_CPath)
file(GLOB_RECURSE headers RELATIVE ${inc} ${inc}/*.h)
list(LENGTH headers n)
if(n EQUAL 0)
  message(FATAL_ERROR "no header installed under ${inc}")
endif()
set(failed "")
foreach(h ${headers})
  string(MAKE_C_IDENTIFIER ${h} name)
  file(WRITE ${WORK}/${name}.cpp "#include \"${h}\"\n")
  execute_process(COMMAND ${CXX} -std=c++17 -Wall -Wextra -Wpedantic -Werror -fsyntax-only
    -I${inc} ${WORK}/${name}.cpp RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(APPEND failed "${h}:\n${err}\n")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
if(failed)
  message(FATAL_ERROR "installed headers that do not compile on their own:\n${failed}")
endif()
message(STATUS "${n} installed headers compile on their own")
