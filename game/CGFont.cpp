#include "game/CGFont.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// GLUT's Roman stroke font: 119.05 units above the baseline, 33.33 below.
void* const kStrokeFont = GLUT_STROKE_ROMAN;
constexpr float kAscent = 119.05f;
constexpr float kCell = 152.38f;
// Its space is as wide as a capital; words read better with half of it.
constexpr float kSpaceAdvance = 52.38f;

float Advance(int c) {
    return c == ' ' ? kSpaceAdvance : float(glutStrokeWidth(kStrokeFont, c));
}

}  // namespace

void CGFont::Build(int fontHeight) {
    height = fontHeight;
    base = glGenLists(96);
    if (base == 0) return;
    // Each list draws its character and moves on by the character's advance.
    for (int c = 32; c < 128; ++c) {
        glNewList(base + unsigned(c - 32), GL_COMPILE);
        if (c == ' ')
            glTranslatef(kSpaceAdvance, 0, 0);
        else
            glutStrokeCharacter(kStrokeFont, c);
        glEndList();
    }
}

float CGFont::Scale() const {
    return height < 0 ? float(-height) / kAscent : float(height) / kCell;
}

float CGFont::LineWidth() const { return std::max(1.0f, std::round(float(std::abs(height)) / 16.0f)); }

float CGFont::TextWidth(const std::string& text) const {
    float width = 0;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 128) width += Advance(c);
    return width * Scale();
}

void CGFont::Print(const char* format, ...) const {
    if (format == nullptr || base == 0) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // Where and in which colour a bitmap would appear: the raster position
    // (in window pixels) and the colour it took, lit or not.
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    if (!valid) return;
    GLfloat position[4], colour[4];
    GLint viewport[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, colour);
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::string shown;
    // Only characters that have a list; others would call unrelated lists.
    for (const char* p = text; *p != '\0'; ++p)
        if (static_cast<unsigned char>(*p) >= 32 && static_cast<unsigned char>(*p) < 128) shown.push_back(*p);

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_LIST_BIT | GL_TRANSFORM_BIT);
    // Text lies on top of the frame, in the colour of the raster position.
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    glColor4fv(colour);
    glLineWidth(LineWidth());
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(position[0], position[1], 0);
    glScalef(Scale(), Scale(), 1);
    glListBase(base - 32);
    glCallLists(GLsizei(shown.size()), GL_UNSIGNED_BYTE, shown.data());
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

std::string CGFont::FormatWithoutArguments(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            out.push_back('%');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}
