#include "ShaderBuilder.h"

#include "FilePath.h"
#include "Log.h"

#include <GL/glew.h>

#include <cstdio>

std::string ShaderBuilder::readSource(const std::string& path) {
    if (path.empty())
        return std::string();
    std::FILE* file = FilePath::openForReading(path);
    if (!file) {
        Log::plain("OpenGLDrawer: Could not read " + path + "; its source is taken as empty.");
        return std::string();
    }
    std::string text;
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0)
        text.append(block, n);
    std::fclose(file);
    // The text ends at its first zero byte, as a C string would.
    const size_t zero = text.find('\0');
    if (zero != std::string::npos)
        text.resize(zero);
    return text;
}

void ShaderBuilder::printInfoLog(unsigned int object, bool program) {
    GLint ok = GL_FALSE;
    GLint length = 0;
    if (program) {
        glGetProgramiv(object, GL_LINK_STATUS, &ok);
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    } else {
        glGetShaderiv(object, GL_COMPILE_STATUS, &ok);
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    }
    if (ok == GL_TRUE)
        return;
    std::string text(length > 0 ? static_cast<size_t>(length) : 1, '\0');
    GLsizei written = 0;
    if (program)
        glGetProgramInfoLog(object, static_cast<GLsizei>(text.size()), &written, &text[0]);
    else
        glGetShaderInfoLog(object, static_cast<GLsizei>(text.size()), &written, &text[0]);
    text.resize(static_cast<size_t>(written));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    Log::plain(text.empty() ? std::string("(the driver gave no message)") : text);
}

void ShaderBuilder::reportCompile(unsigned int shader, const std::string& file) {
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE)
        return;
    Log::plain("OpenGLDrawer: Could not compile " + file + ":");
    printInfoLog(shader, false);
}

unsigned int ShaderBuilder::build(const Entries& gl, const std::string& vertexFile,
                                  const std::string& fragmentFile, std::string& fragmentSource) {
    const unsigned int vertexShader = gl.createShader(GL_VERTEX_SHADER);
    const unsigned int fragmentShader = gl.createShader(GL_FRAGMENT_SHADER);
    const std::string vertexText = readSource(vertexFile);
    fragmentSource = readSource(fragmentFile);
    const char* vertexChars = vertexText.c_str();
    const char* fragmentChars = fragmentSource.c_str();
    gl.shaderSource(vertexShader, 1, &vertexChars, nullptr);
    gl.shaderSource(fragmentShader, 1, &fragmentChars, nullptr);
    gl.compileShader(vertexShader);
    gl.compileShader(fragmentShader);
    const unsigned int program = gl.createProgram();
    gl.attachShader(program, vertexShader);
    gl.attachShader(program, fragmentShader);
    gl.linkProgram(program);

    Log::plain("OpenGLDrawer Shader InfoLog:");
    Log::plain("----------------------------");
    Log::plain(vertexFile + ":");
    Log::plain(fragmentFile + ":");
    reportCompile(vertexShader, vertexFile);
    reportCompile(fragmentShader, fragmentFile);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        Log::plain("OpenGLDrawer: Could not link " + vertexFile + " and " + fragmentFile + ":");
        printInfoLog(program, true);
    }
    return program;
}
