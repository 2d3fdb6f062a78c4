#pragma once

#include <string>

// Builds a program from a vertex and a fragment shader file through the
// entry points the drawer chose, and logs what the driver says of it. A
// broken file still gives a program, with the driver's reasons logged.
class ShaderBuilder {
public:
    // The entry points, with OpenGL's own parameter types.
    struct Entries {
        unsigned int (*createShader)(unsigned int type);
        void (*shaderSource)(unsigned int shader, int count, const char* const* text, const int* lengths);
        void (*compileShader)(unsigned int shader);
        unsigned int (*createProgram)();
        void (*attachShader)(unsigned int program, unsigned int shader);
        void (*linkProgram)(unsigned int program);
    };

    // The whole text of a shader file, up to its first zero byte; empty,
    // with a line naming it, when it cannot be read as a regular file.
    static std::string readSource(const std::string& path);
    // The linked program; fragmentSource receives the fragment file's text.
    static unsigned int build(const Entries& gl, const std::string& vertexFile,
                              const std::string& fragmentFile, std::string& fragmentSource);

private:
    static void reportCompile(unsigned int shader, const std::string& file);
    static void printInfoLog(unsigned int object, bool program);
};
