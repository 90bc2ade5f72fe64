#pragma once

#include <string>

// One GLSL program from a vertex and a fragment source file. Objects keep a
// copy of this record; drawing uses the copy's program and flag.
class CGShader {
public:
    CGShader() = default;
    // Stores the paths and initialises GLEW (needs a current GL context).
    CGShader(const std::string& vertexPath, const std::string& fragmentPath);

    // Compiles both sources and links them; no program when GLSL is missing,
    // a source cannot be read, or a compile fails.
    void Compile();
    void Use() const;
    void Unuse() const;

    unsigned vertexShader = 0;
    unsigned fragmentShader = 0;
    unsigned program = 0;
    bool glslSupported = false;
    std::string vertexPath;
    std::string fragmentPath;

private:
    void Link();
};
