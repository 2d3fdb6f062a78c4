#version 120
// Post-processing of the off-screen frame: the frame buffer's rows are stored bottom
// up, so the picture is flipped upright here. The noise picture (centred on mid grey)
// adds grain; one sample of it at a fixed spot changes with each noise picture and
// gives a slight flicker; the corners are darkened. shaderParam adds to the grain
// strength (the game passes 0).
uniform sampler2D base;
uniform sampler2D second;
uniform float shaderParam;
varying vec2 uv;

void main()
{
    vec2 upright = vec2(uv.x, 1.0 - uv.y);
    vec3 colour = texture2D(base, upright).rgb;
    float grain = texture2D(second, uv).r - 0.5;
    float flicker = 1.0 + (texture2D(second, vec2(0.37, 0.61)).r - 0.5) * 0.08;
    vec2 d = uv - vec2(0.5);
    float vignette = clamp(1.0 - dot(d, d) * 1.1, 0.0, 1.0);
    colour = colour * flicker + grain * (0.11 + shaderParam);
    colour *= vignette;
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), 1.0) * gl_Color;
}
