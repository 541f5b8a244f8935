# The one project version (project() in the top CMakeLists.txt) as AXTUNE_VERSION in the header
# AxtuneVersion.h, for every program's --version and the About box.
configure_file(${CMAKE_CURRENT_LIST_DIR}/AxtuneVersion.h.in
               ${CMAKE_BINARY_DIR}/generated/AxtuneVersion.h @ONLY)
add_library(axtune_version INTERFACE)
target_include_directories(axtune_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
