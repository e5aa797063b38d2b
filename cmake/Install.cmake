# What cmake --install (and so the Debian package) puts where, under the prefix:
#   bin/                      Tarnwick, fbxinfo, fbxrender (each installed by its own folder)
#   share/tarnwick/           the data: Assets/ (shaders, models, textures) and Settings/
#   share/doc/tarnwick/       README.md, and copyright: ours, then the terms of the code of other
#                             projects built into the programs, gathered from their Debian packages
# The programs find the data relative to their own folder (BuildInfo.cmake), so the tree works
# wherever it is installed or unpacked.

install(DIRECTORY ${PROJECT_SOURCE_DIR}/Assets ${PROJECT_SOURCE_DIR}/Settings DESTINATION ${TARNWICK_DATA_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TARNWICK_DOC_DIR})

# Built into the programs (static libraries, header-only code, generated code): their terms travel
# with the programs. Each as "name|Debian copyright file". The shared libraries the programs load
# (GLFW, Bullet, zlib, ...) are packages of their own, with their own copyright files.
set(TARNWICK_EMBEDDED_CODE
  "Dear ImGui, the user interface (static library)|/usr/share/doc/libimgui-dev/copyright"
  "stb_image and stb_image_write, the image codecs|/usr/share/doc/libstb-dev/copyright"
  "glad, the generator of the OpenGL loader built into the programs|/usr/share/doc/python3-glad/copyright"
  "RapidJSON, the JSON parser (header-only)|/usr/share/doc/rapidjson-dev/copyright"
)
# The generated loader states its own terms in its header's first comment.
set(TARNWICK_GLAD_HEADER ${GLAD_OUT}/include/glad/gl.h)

# Gathered when installing, not copied into the repository: the texts are the packages' own.
install(CODE "
  set(TARNWICK_VERSION \"${PROJECT_VERSION}\")
  set(TARNWICK_COPYRIGHT \"${PROJECT_SOURCE_DIR}/COPYRIGHT\")
  set(TARNWICK_EMBEDDED_CODE \"${TARNWICK_EMBEDDED_CODE}\")
  set(TARNWICK_GLAD_HEADER \"${TARNWICK_GLAD_HEADER}\")
  set(TARNWICK_STAGING \"${CMAKE_BINARY_DIR}/install-staging\")
  set(TARNWICK_DOC_DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${TARNWICK_DOC_DIR}\")
  include(\"${CMAKE_CURRENT_LIST_DIR}/InstallCopyright.cmake\")
")
