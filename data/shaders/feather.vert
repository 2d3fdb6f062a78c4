#version 120
// One strip of a grid picture: both textures use the same coordinates.
varying vec2 uv;

void main()
{
    uv = gl_MultiTexCoord0.st;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
