# The CMake package configuration of setuppack: find_package(setuppack) gives
#   setuppack::setuppack   the packing tool, as an imported executable
#   SETUPPACK_STUB         the Setup.exe installed with it
#   setuppack_add_setup(<name> PRODUCT <folder> VERSION <version> OUTPUT <file>
#                       [STUB <exe>] [DEPENDS <target>...])
# Everything is found relative to this file, so that an installation works from any folder:
# it lies in <prefix>/share/cmake/setuppack.
get_filename_component(_setuppack_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET setuppack::setuppack)
  add_executable(setuppack::setuppack IMPORTED)
  set_target_properties(setuppack::setuppack PROPERTIES
    IMPORTED_LOCATION "${_setuppack_prefix}/bin/setuppack${CMAKE_EXECUTABLE_SUFFIX}")
endif()
set(SETUPPACK_EXECUTABLE "${_setuppack_prefix}/bin/setuppack${CMAKE_EXECUTABLE_SUFFIX}")
set(SETUPPACK_STUB "${_setuppack_prefix}/share/setuppack/Setup.exe")
# The tool finds its data files the same way, beside its own executable.
foreach(_setuppack_file "${SETUPPACK_EXECUTABLE}" "${SETUPPACK_STUB}")
  if(NOT EXISTS "${_setuppack_file}")
    set(setuppack_FOUND FALSE)
    set(setuppack_NOT_FOUND_MESSAGE "setuppack is incomplete: ${_setuppack_file} is missing")
    return()
  endif()
endforeach()

# Makes the setup program OUTPUT a target of the build, <name>: it packs PRODUCT again when a
# file of the folder changes (a file added or removed is seen when the build configures itself
# again, which it does by itself), when the stub changes, or after the DEPENDS targets. It
# also registers `setuppack check` of the folder as the test <name>.check.
function(setuppack_add_setup name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PRODUCT;VERSION;OUTPUT;STUB" "DEPENDS")
  foreach(required PRODUCT VERSION OUTPUT)
    if(NOT arg_${required})
      message(FATAL_ERROR "setuppack_add_setup(${name}): ${required} is required")
    endif()
  endforeach()
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "setuppack_add_setup(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  get_filename_component(product "${arg_PRODUCT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  if(NOT IS_DIRECTORY "${product}")
    message(FATAL_ERROR "setuppack_add_setup(${name}): no product folder ${product}")
  endif()
  file(GLOB_RECURSE files LIST_DIRECTORIES false CONFIGURE_DEPENDS "${product}/*")

  set(stub_option)
  set(stub_file)
  if(arg_STUB)
    get_filename_component(stub_file "${arg_STUB}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    set(stub_option --stub "${stub_file}")
  elseif(output MATCHES "\\.[eE][xX][eE]$")
    set(stub_file "${SETUPPACK_STUB}")
  endif()

  add_custom_command(OUTPUT "${output}"
    COMMAND setuppack::setuppack pack --quiet --version "${arg_VERSION}" ${stub_option} "${product}" "${output}"
    DEPENDS ${files} ${stub_file} "${SETUPPACK_EXECUTABLE}" ${arg_DEPENDS}
    COMMENT "Packing ${product} into ${output}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${output}")
  if(arg_DEPENDS)
    add_dependencies(${name} ${arg_DEPENDS})
  endif()
  add_test(NAME ${name}.check COMMAND setuppack::setuppack check "${product}" --version "${arg_VERSION}")
endfunction()
