#include "game/CGFont.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

void CGFont::Build(int fontHeight) {
    height = fontHeight;
    const int size = std::abs(fontHeight);
    void* font = size <= 12 ? GLUT_BITMAP_HELVETICA_12 : size <= 20 ? GLUT_BITMAP_HELVETICA_18 : GLUT_BITMAP_TIMES_ROMAN_24;
    base = glGenLists(96);
    if (base == 0) return;
    for (int c = 32; c < 128; ++c) {
        glNewList(base + unsigned(c - 32), GL_COMPILE);
        glutBitmapCharacter(font, c);
        glEndList();
    }
}

void CGFont::Print(const char* format, ...) const {
    if (format == nullptr || base == 0) return;
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    glPushAttrib(GL_LIST_BIT);
    glListBase(base - 32);
    std::string shown;
    // Only characters that have a list; others would call unrelated lists.
    for (const char* p = text; *p != '\0'; ++p)
        if (static_cast<unsigned char>(*p) >= 32 && static_cast<unsigned char>(*p) < 128) shown.push_back(*p);
    glCallLists(GLsizei(shown.size()), GL_UNSIGNED_BYTE, shown.data());
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
