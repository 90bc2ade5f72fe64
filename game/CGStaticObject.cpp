#include "game/CGStaticObject.h"

#include <GL/gl.h>

void CGStaticObject::Draw() {
    glPushMatrix();
    glRotatef(rotationAngle, rotationAxis[0], rotationAxis[1], rotationAxis[2]);
    glTranslatef(translation[0], translation[1], translation[2]);
    CGObject::Draw();
    glPopMatrix();
}

void CGSkyBox::Draw() {
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);   // unlit: the texture shows as it is
    CGObject::Draw();
    glEnable(GL_LIGHTING);
}
