# The version and the install layout as the programs see them: a header generated into the build
# folder (BuildInfo.h), offered by the interface library TarnwickBuildInfo to the program and the
# tools, so that one number and one layout are printed and looked up everywhere.
include(GNUInstallDirs)

# Where the data is installed: every program finds it relative to its own folder, so an installed
# tree can be moved (or unpacked anywhere) and still works.
set(TARNWICK_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tarnwick)
set(TARNWICK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${TARNWICK_DATA_DIR}")
  message(FATAL_ERROR "CMAKE_INSTALL_BINDIR and CMAKE_INSTALL_DATADIR must be relative to the prefix: "
                      "the programs find their data relative to their own folder")
endif()
file(RELATIVE_PATH TARNWICK_DATA_FROM_PROGRAMS /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${TARNWICK_DATA_DIR})

set(TARNWICK_BUILD_INFO_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h.in ${TARNWICK_BUILD_INFO_DIR}/BuildInfo.h @ONLY)
add_library(TarnwickBuildInfo INTERFACE)
target_include_directories(TarnwickBuildInfo INTERFACE ${TARNWICK_BUILD_INFO_DIR})
