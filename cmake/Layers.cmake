# Each library shows its dependents its own headers and nothing else. The sources include headers
# by their directory ("link/AxtuneDoc.h", "pages/entry/Download.h", "sim/Controller.h"); instead
# of one include root for the whole tree, every library gets a root of its own in the build tree
# that holds one link, named as that directory, to its source directory. The root is a PUBLIC
# include directory, so a target sees the headers of itself and of the libraries it links, and a
# lower layer that includes a higher one's header fails to compile (tests/layering checks that).
#
#   axtune_layer_headers(<target> <include prefix>)
#
# <include prefix> is the path the sources write before the header's name; the link points to the
# calling CMakeLists.txt's directory.
function(axtune_layer_headers target prefix)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${prefix} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${prefix} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
