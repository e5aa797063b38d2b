#version 460 core
// The engine's matrices are row-major with row vectors (p' = p x M) and reach GLSL untransposed, so
// GLSL sees each one transposed: M x v here is the engine's v x M, and a chain p x W x V x P is
// written P * V * W * p.

layout(location = 0) in vec4 inPosition;
layout(location = 1) in vec4 inColor0;
layout(location = 5) in vec4 inUv01;
layout(location = 7) in vec3 inNormal;
layout(location = 8) in vec3 inTangent;
layout(location = 9) in vec3 inBinormal;

struct ObjectBuffer {
    mat4 OB_matrix;
    mat4 OB_matrixNoScale;
};

uniform ObjectBuffer objectBuffer;
uniform mat4 projectionMatrix;
uniform mat4 invViewMatrix;
uniform mat4 lightSpaceMatrix;

out VertexData {
    vec3 worldPosition;
    vec2 uv;
    vec3 normal;
    vec3 tangent;
    vec3 binormal;
    vec4 lightSpacePosition;
} vertexOut;

void main()
{
    // Control points may carry any w; a vertex is always a point.
    vec4 world = objectBuffer.OB_matrix * vec4(inPosition.xyz, 1.0);
    vertexOut.worldPosition = world.xyz;
    vertexOut.uv = inUv01.xy;
    vertexOut.normal = (objectBuffer.OB_matrixNoScale * vec4(inNormal, 0.0)).xyz;
    vertexOut.tangent = (objectBuffer.OB_matrixNoScale * vec4(inTangent, 0.0)).xyz;
    vertexOut.binormal = (objectBuffer.OB_matrixNoScale * vec4(inBinormal, 0.0)).xyz;
    vertexOut.lightSpacePosition = lightSpaceMatrix * world;

    gl_Position = projectionMatrix * invViewMatrix * world;
    // The projections map view depth to 0...1; GL's clip volume is -w...w, so stretch the depth over
    // all of it instead of wasting half the depth buffer (the window depth stays 0...1).
    gl_Position.z = gl_Position.z * 2.0 - gl_Position.w;
}
