#pragma once
// Shader compilation and the scene-wide uniforms that reach every material's program.
//
// Every Material built by its constructor compiles and links a program of its own and joins
// MaterialRegistry; copies of a material draw with the same program, so a uniform set through the
// registry reaches what they draw. Uniform locations are looked up by name at every set.
// Main thread only, with the GL context current.

#include <glad/gl.h>

#include <vector>

class GameCamera;
class Material;

// Compiles the GLSL file at `path` as a shader of `type` (GL_VERTEX_SHADER, GL_FRAGMENT_SHADER or
// GL_GEOMETRY_SHADER; any other type creates no shader object and leaves `id` as it was).
// Returns true when it compiled. A file that cannot be read (missing, not a regular file, over 4 MiB)
// returns false, leaving the created shader without source; a compile error prints the stage's message
// and the info log to standard output. Either is named on the console once per file (and stage).
bool CompileShader(const char* path, GLuint& id, GLenum type);

// Links `program` from the shaders attached to it and returns whether it linked. When the stages
// compiled (`stagesCompiled`) and still do not link, the two files are named once on the console with
// the linker's log ("ERROR::SHADER::PROGRAM::LINKING_FAILED" and the log, on standard error): nothing
// drawn with such a program is seen. A failed compile has been said already and is not said again.
bool LinkProgram(GLuint program, const char* fragmentPath, const char* vertexPath, bool stagesCompiled);

// Whether `program` linked.
bool ProgramLinked(GLuint program);

// Every live material built by the Material constructor, in construction order. A material leaves
// it when destroyed.
extern std::vector<Material*> MaterialRegistry;

// Sets the mat4 uniform `name` to `matrix` (16 floats, row-major as the math types store them,
// passed untransposed) in every registered material's program.
void SetGlobalMatrix(const char* name, const float* matrix);
void SetGlobalInt(const char* name, GLint value);
void SetGlobalFloat(const char* name, GLfloat value);
void SetGlobalVector3(const char* name, GLfloat x, GLfloat y, GLfloat z);

// "projectionMatrix", "invViewMatrix" and "viewPos" of `camera`, to every registered program.
void UploadCameraUniforms(const GameCamera& camera);
