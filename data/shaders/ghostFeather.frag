#version 120
// A ghost: the picture, washed out towards a pale grey-blue so it reads as an
// after-image, with its alpha (the ghost's opacity from the draw colour) multiplied
// by the feather mask in the second picture's red channel. shaderParam adds to the
// washing out (the game passes 0).
// The drawer culls by this promise, true at shaderParam 0:
// alpha: base.a * colour.a * second.r
uniform sampler2D base;
uniform sampler2D second;
uniform float shaderParam;
varying vec2 uv;

void main()
{
    vec4 picture = texture2D(base, uv);
    float luma = dot(picture.rgb, vec3(0.299, 0.587, 0.114));
    vec3 pale = vec3(luma * 0.85 + 0.1, luma * 0.9 + 0.1, luma + 0.12);
    float wash = clamp(0.6 + shaderParam, 0.0, 1.0);
    vec3 colour = mix(picture.rgb, pale, wash) * gl_Color.rgb;
    float mask = texture2D(second, uv).r;
    gl_FragColor = vec4(colour, picture.a * gl_Color.a * mask);
}
