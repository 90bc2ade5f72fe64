#include "game/CGLight.h"

#include <GL/gl.h>

namespace {
void Store(float out[4], float a, float b, float c, float d) {
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}
}  // namespace

void CGLight::SetAmbient(float r, float g, float b, float a) {
    Store(ambient, r, g, b, a);
    glLightfv(id, GL_AMBIENT, ambient);
}
void CGLight::SetDiffuse(float r, float g, float b, float a) {
    Store(diffuse, r, g, b, a);
    glLightfv(id, GL_DIFFUSE, diffuse);
}
void CGLight::SetSpecular(float r, float g, float b, float a) {
    Store(specular, r, g, b, a);
    glLightfv(id, GL_SPECULAR, specular);
}
void CGLight::SetPosition(float x, float y, float z, float w) {
    Store(position, x, y, z, w);
    glLightfv(id, GL_POSITION, position);
}
void CGLight::SetConstantAttenuation(float value) {
    constantAttenuation = value;
    glLightf(id, GL_CONSTANT_ATTENUATION, value);
}
void CGLight::Enable() {
    glEnable(GL_LIGHTING);
    glEnable(id);
}
void CGLight::Disable() { glDisable(id); }

void CGLightModel::Apply() const {
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, localViewer ? 1 : 0);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
}
