#include "game/CGShader.h"

#include "game/GameUtil.h"

#include <GL/glew.h>

#include <vector>

CGShader::CGShader(const std::string& vertex, const std::string& fragment)
    : vertexPath(vertex), fragmentPath(fragment) {
    GLenum error = glewInit();
    if (error != GLEW_OK) {
        GameLog("GLEW Error: %s", reinterpret_cast<const char*>(glewGetErrorString(error)));
        glslSupported = false;
        return;
    }
    glslSupported = GLEW_ARB_vertex_shader && GLEW_ARB_fragment_shader;
    GameLog(glslSupported ? "Ready for GLSL" : "No GLSL support");
}

void CGShader::Compile() {
    if (!glslSupported) return;
    std::string vertexText, fragmentText;
    // A missing source would reach the driver as a null string.
    if (!ReadTextFile(vertexPath, vertexText) || !ReadTextFile(fragmentPath, fragmentText)) {
        GameLog("Shader konnte nicht kompiliert werden!");
        return;
    }
    vertexShader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    fragmentShader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    const GLcharARB* vs = vertexText.c_str();
    const GLcharARB* fs = fragmentText.c_str();
    glShaderSourceARB(vertexShader, 1, &vs, nullptr);
    glShaderSourceARB(fragmentShader, 1, &fs, nullptr);
    glCompileShaderARB(vertexShader);
    glCompileShaderARB(fragmentShader);
    Link();
}

void CGShader::Link() {
    GLint vertexOk = 0, fragmentOk = 0;
    glGetObjectParameterivARB(vertexShader, GL_OBJECT_COMPILE_STATUS_ARB, &vertexOk);
    glGetObjectParameterivARB(fragmentShader, GL_OBJECT_COMPILE_STATUS_ARB, &fragmentOk);
    if (vertexOk == 1 && fragmentOk == 1) {
        program = glCreateProgramObjectARB();
        glAttachObjectARB(program, fragmentShader);
        glAttachObjectARB(program, vertexShader);
        glLinkProgramARB(program);
        return;
    }
    GameLog("Shader konnte nicht kompiliert werden!");
    for (auto [object, label] : {std::pair{vertexShader, "Vertex Shader: %s"},
                                 std::pair{fragmentShader, "Fragment Shader: %s"}}) {
        GLint length = 0;
        glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
        if (length <= 0) continue;
        std::vector<GLcharARB> log(static_cast<size_t>(length) + 1, 0);
        glGetInfoLogARB(object, length, nullptr, log.data());
        GameLog(label, log.data());
    }
}

void CGShader::Use() const {
    if (glslSupported) glUseProgramObjectARB(program);
}

void CGShader::Unuse() const {
    if (glslSupported) glUseProgramObjectARB(0);
}
