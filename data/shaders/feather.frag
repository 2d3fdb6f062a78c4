#version 120
// A grid strip with soft edges: the picture, tinted by the draw colour, whose alpha
// (the strip's fade) is multiplied by the feather mask in the second picture's red
// channel. shaderParam raises the mask's strength (the game passes 0).
// The drawer culls and draws in fixed function by these promises, true at
// shaderParam 0:
// alpha: base.a * colour.a * second.r
// rgb: base.rgb * colour.rgb
uniform sampler2D base;
uniform sampler2D second;
uniform float shaderParam;
varying vec2 uv;

void main()
{
    vec4 picture = texture2D(base, uv) * gl_Color;
    float mask = clamp(texture2D(second, uv).r * (1.0 + shaderParam), 0.0, 1.0);
    gl_FragColor = vec4(picture.rgb, picture.a * mask);
}
