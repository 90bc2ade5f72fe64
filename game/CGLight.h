#pragma once

// An OpenGL light: each setter stores its values and passes them on at once.
class CGLight {
public:
    explicit CGLight(unsigned lightId) : id(lightId) {}
    void SetAmbient(float r, float g, float b, float a);
    void SetDiffuse(float r, float g, float b, float a);
    void SetSpecular(float r, float g, float b, float a);
    void SetPosition(float x, float y, float z, float w);
    void SetConstantAttenuation(float value);
    void Enable();
    void Disable();

    float position[4] = {0, 0, 1, 0};
    float ambient[4] = {0, 0, 0, 1};
    float diffuse[4] = {0, 0, 0, 1};
    float specular[4] = {0, 0, 0, 1};
    unsigned id;
    float constantAttenuation = 1.0f;
};

// The light model: global ambient and the local-viewer flag; two-sided.
struct CGLightModel {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    bool localViewer = false;
    void Apply() const;
};
