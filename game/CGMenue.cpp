#include "game/CGMenue.h"

#include "game/CGFont.h"

#include <GL/gl.h>

CGMenue::CGMenue(int layoutX, int layoutY, const CGFont* normalFont, const CGFont* selectedEntryFont)
    : normal(normalFont), selectedFont(selectedEntryFont) {
    layout[0] = layoutX;
    layout[1] = layoutY;
}

void CGMenue::SelectNext() { selected = selected + 1 >= int(entries.size()) ? 0 : selected + 1; }

void CGMenue::SelectPrevious() { selected = selected - 1 < 0 ? int(entries.size()) - 1 : selected - 1; }

void CGMenue::Draw() {
    const int h = layout[0] / 2;
    glPushMatrix();
    // Unlit: the model shows the current colour, so start from white.
    glColor4f(1, 1, 1, 1);
    CGObject::Draw();
    glPopMatrix();
    glLoadIdentity();
    glPushMatrix();
    // The entries' colours must not reach the first played frame, where colour
    // tracking would tint the level with them.
    glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT);
    glTranslatef(0, 0, -2);
    float y = h * 0.3f;
    auto colour = [](const float c[4]) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, c);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, c);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, c);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, c);
        glColor4fv(c);   // lighting is off while the menu draws
    };
    for (int i = 0; i < int(entries.size()); ++i) {
        const bool isSelected = i == selected;
        colour(isSelected ? selectedColor : normalColor);
        glRasterPos2f(-0.9f * h, y);
        const CGFont* font = isSelected ? selectedFont : normal;
        if (font != nullptr) font->Print("%s", entries[size_t(i)].c_str());
        y -= h * 0.3f;
    }
    colour(normalColor);
    if (normal != nullptr) {
        glRasterPos2f(-0.9f * h, 0.9f * h);
        normal->Print("Navigation mit Pfeiltasten");
        glRasterPos2f(-0.9f * h, 0.8f * h);
        normal->Print("Bestaetigung mit Leertaste");
    }
    glPopAttrib();
    glPopMatrix();
}
