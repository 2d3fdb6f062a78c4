#version 120
// Full-screen pass: passes the texture coordinate and the draw colour through.
varying vec2 uv;

void main()
{
    uv = gl_MultiTexCoord0.st;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
