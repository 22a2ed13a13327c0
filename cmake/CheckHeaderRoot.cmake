# Run by the tests of add_header_root_test (cmake/HeaderRoots.cmake): compiles a one-line file
# that includes OWN, which must succeed, and one that includes FOREIGN, which must fail because
# the header is not found (and for no other reason), with the include directories INCLUDES and
# the definitions DEFINES of a target, each list joined with "|".
string(REPLACE "|" ";" includes "${INCLUDES}")
string(REPLACE "|" ";" defines "${DEFINES}")
set(flags -std=c++17 -fsyntax-only)
foreach(dir ${includes})
  list(APPEND flags -I${dir})
endforeach()
foreach(definition ${defines})
  list(APPEND flags -D${definition})
endforeach()
file(MAKE_DIRECTORY ${WORK})

file(WRITE ${WORK}/own.cpp "#include \"${OWN}\"\n")
execute_process(COMMAND ${COMPILER} ${flags} ${WORK}/own.cpp RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "The library's own header ${OWN} does not compile:\n${errors}")
endif()

file(WRITE ${WORK}/foreign.cpp "#include \"${FOREIGN}\"\n")
execute_process(COMMAND ${COMPILER} ${flags} ${WORK}/foreign.cpp RESULT_VARIABLE result ERROR_VARIABLE errors)
if(result EQUAL 0)
  message(FATAL_ERROR "${FOREIGN}, of a library not linked, compiles")
endif()
if(NOT errors MATCHES "${FOREIGN}: No such file or directory")
  message(FATAL_ERROR "${FOREIGN} fails to compile, but not for want of the header:\n${errors}")
endif()
