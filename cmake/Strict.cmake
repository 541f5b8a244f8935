# One INTERFACE target carries the warning flags and the language level; every target of the
# project links it, so no target can quietly build with less.
add_library(axtune_strict INTERFACE)
target_compile_features(axtune_strict INTERFACE cxx_std_20)
target_compile_options(axtune_strict INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion
  -Wformat=2 -Wimplicit-fallthrough -Wcast-qual -Wundef)
if(AXTUNE_WERROR)
  target_compile_options(axtune_strict INTERFACE -Werror)
endif()

# Sanitizers for the asan preset; fuzz targets add -fsanitize=fuzzer themselves.
if(AXTUNE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
