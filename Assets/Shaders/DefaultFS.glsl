#version 460 core
// Blinn-Phong lighting from one directional light with a shadow map, normal mapping through the
// interpolated tangent frame, and an ambient term so that shadowed faces keep their colour.

struct Material {
    vec4 albedo;
    float specularStrength;
    float shininess;
    sampler2D diffuse;
    sampler2D normalTexture;
    sampler2D ambientOcculusionTexture;
    sampler2D roughnessTexture;
    sampler2D metallicTexture;
};

struct Light {
    float intensity;
    vec3 lightColor;
    vec3 lightDir;
};

uniform Material material;
uniform Light light;
uniform sampler2D shadowMap;
uniform vec3 viewPos;

in VertexData {
    vec3 worldPosition;
    vec2 uv;
    vec3 normal;
    vec3 tangent;
    vec3 binormal;
    vec4 lightSpacePosition;
} fragmentIn;

out vec4 fragmentColor;

const float kAmbient = 0.3;
// The shadow camera's depth covers 1 to 1,000,000 units: one world unit is this much depth.
const float kDepthPerUnit = 1.0 / 999999.0;
// Bias in world units: a floor against acne on lit faces, growing with the slope to the light,
// capped so shadows stay attached to their casters.
const float kMinBiasUnits = 0.3;
const float kMaxBiasUnits = 3.0;

vec3 SurfaceNormal()
{
    vec3 n = normalize(fragmentIn.normal);
    vec3 t = fragmentIn.tangent;
    vec3 b = fragmentIn.binormal;
    // Meshes without a tangent frame keep their vertex normal.
    if (dot(t, t) < 1e-8 || dot(b, b) < 1e-8)
        return n;
    vec3 mapped = texture(material.normalTexture, fragmentIn.uv).xyz * 2.0 - 1.0;
    vec3 perturbed = mat3(normalize(t), normalize(b), n) * mapped;
    return dot(perturbed, perturbed) > 1e-8 ? normalize(perturbed) : n;
}

// 1 where fully lit, 0 where fully in shadow: a 3 x 3 percentage-closer filter.
float LitFraction(float slopeToLight)
{
    vec3 projected = fragmentIn.lightSpacePosition.xyz / fragmentIn.lightSpacePosition.w;
    vec2 uv = projected.xy * 0.5 + 0.5;
    float depth = projected.z;
    if (uv.x < 0.0 || uv.x > 1.0 || uv.y < 0.0 || uv.y > 1.0 || depth > 1.0)
        return 1.0;

    float biasUnits = clamp(kMinBiasUnits * (1.0 + 4.0 * slopeToLight), kMinBiasUnits, kMaxBiasUnits);
    float bias = biasUnits * kDepthPerUnit;
    vec2 texel = 1.0 / vec2(textureSize(shadowMap, 0));
    float lit = 0.0;
    for (int x = -1; x <= 1; ++x)
        for (int y = -1; y <= 1; ++y) {
            float occluder = texture(shadowMap, uv + vec2(x, y) * texel).r;
            lit += depth - bias > occluder ? 0.0 : 1.0;
        }
    return lit / 9.0;
}

void main()
{
    vec4 baseColor = material.albedo * texture(material.diffuse, fragmentIn.uv);
    float occlusion = texture(material.ambientOcculusionTexture, fragmentIn.uv).r;

    vec3 n = SurfaceNormal();
    vec3 toLight = -normalize(light.lightDir);
    vec3 toViewer = normalize(viewPos - fragmentIn.worldPosition);
    // Surfaces are lit from whichever side faces the viewer, so thin walls light the same both ways.
    if (dot(n, toViewer) < 0.0)
        n = -n;

    float diffuse = max(dot(n, toLight), 0.0);
    vec3 halfway = normalize(toLight + toViewer);
    float specular = diffuse > 0.0 ? pow(max(dot(n, halfway), 0.0), max(material.shininess, 1.0)) : 0.0;
    float slope = sqrt(max(1.0 - diffuse * diffuse, 0.0)) / max(diffuse, 0.05);
    float lit = LitFraction(slope);

    vec3 radiance = light.lightColor * light.intensity;
    vec3 color = baseColor.rgb * kAmbient * occlusion
        + lit * radiance * (baseColor.rgb * diffuse + material.specularStrength * specular);
    fragmentColor = vec4(color, baseColor.a);
}
