# Header roots: how the build keeps the layers pointing down.
#
# Code includes headers by their folder ("common/Stream.h", "messages/Strings.h"). Putting the
# source root on the include path would let any file include any header, so instead each
# library gets an include root of its own in the build tree, holding symbolic links to its
# folder (or to only some of its headers), and passes it on to the targets that link it. A file can then
# include a header only when its target links the header's library, and an include that points
# up a layer stops the build with "No such file or directory".

# header_root(<out-var> <folder> [NAME <name>] [FILES <file>...])
#   Makes the root <build>/include/<name> (default: the folder) holding <folder> as a link to
#   the source folder, or, with FILES, a real folder holding links to just those files (paths
#   below <folder>). Sets <out-var> to the root.
function(header_root out folder)
  cmake_parse_arguments(arg "" "NAME" "FILES" ${ARGN})
  if(NOT arg_NAME)
    string(REPLACE "/" "_" arg_NAME "${folder}")
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${arg_NAME})
  set(source ${CMAKE_SOURCE_DIR}/${folder})
  if(arg_FILES)
    # Made afresh at each configure, so that a header taken off the list is gone from it.
    file(REMOVE_RECURSE ${root})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(name ${arg_FILES})
      get_filename_component(parent ${root}/${folder}/${name} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${source}/${name} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
  else()
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    # Replaces the link of an earlier configure, which may point at a source tree since moved.
    file(CREATE_LINK ${source} ${root}/${folder} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# export_headers(<target> [FILES <file>...])
#   Gives the library <target> the header root of the folder it is defined in (with FILES, a
#   root of its own holding only those headers) and passes the root on to whoever links it.
function(export_headers target)
  cmake_parse_arguments(arg "" "" "FILES" ${ARGN})
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  if(arg_FILES)
    header_root(root ${folder} NAME ${target} FILES ${arg_FILES})
  else()
    header_root(root ${folder})
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# add_header_root_test(<target> <own-header> <foreign-header>)
#   A test of the build for two libraries that share a folder: with the include directories of
#   <target> (its own and those of what it links), a file that includes <own-header> compiles,
#   and one that includes <foreign-header>, of the library beside it, does not find it.
function(add_header_root_test target own foreign)
  string(MAKE_C_IDENTIFIER "${target}_${foreign}" id)
  add_test(NAME header_root_${id} COMMAND ${CMAKE_COMMAND}
    -DCOMPILER=${CMAKE_CXX_COMPILER}
    "-DINCLUDES=$<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,|>"
    "-DDEFINES=$<JOIN:$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>,|>"
    -DOWN=${own} -DFOREIGN=${foreign} -DWORK=${CMAKE_BINARY_DIR}/header-root-tests/${id}
    -P ${CMAKE_SOURCE_DIR}/cmake/CheckHeaderRoot.cmake)
endfunction()
