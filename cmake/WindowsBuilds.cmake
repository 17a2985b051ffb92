# Builds the Windows side twice from the same sources, each in its own
# cross-compiling tree inside this build tree: i686 is the product, x86_64 is
# what wine runs on these machines. Both are rebuilt on every build so edits
# to core/, shell/ or resources/ always reach the executables.
include(ExternalProject)

foreach(arch i686 x86_64)
  set(dir ${CMAKE_BINARY_DIR}/win-${arch})
  ExternalProject_Add(windows-${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-${arch}.cmake
      -DCMAKE_BUILD_TYPE=MinSizeRel
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)
  # Where the built programs are, for the tests.
  set(QUORVANE_WIN_${arch}_DIR ${dir})
endforeach()
