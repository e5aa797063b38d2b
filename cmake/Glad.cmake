# The OpenGL 4.6 core loader is generated at build time with Debian's glad 2.
# --reproducible keeps glad from downloading gl.xml: it uses the copy it ships.
find_program(GLAD_EXECUTABLE glad REQUIRED)

set(GLAD_OUT ${CMAKE_BINARY_DIR}/glad)
add_custom_command(
  OUTPUT ${GLAD_OUT}/src/gl.c ${GLAD_OUT}/include/glad/gl.h ${GLAD_OUT}/include/KHR/khrplatform.h
  COMMAND ${GLAD_EXECUTABLE} --api gl:core=4.6 --extensions= --out-path ${GLAD_OUT} --reproducible --quiet c
  COMMENT "Generating the OpenGL 4.6 core loader with glad"
  VERBATIM)

add_library(glad STATIC ${GLAD_OUT}/src/gl.c)
target_include_directories(glad SYSTEM PUBLIC ${GLAD_OUT}/include)
target_link_libraries(glad PUBLIC ${CMAKE_DL_LIBS})
