#pragma once

#include "game/CGObject.h"

#include <string>
#include <vector>

class CGFont;

// The start menu: its model plus the entries "Start", "Help" and "Exit".
class CGMenue : public CGObject {
public:
    CGMenue(int layoutX, int layoutY, const CGFont* normalFont, const CGFont* selectedFont);
    void Draw() override;

    void SelectNext();
    void SelectPrevious();
    const std::string& SelectedText() const { return entries[size_t(selected)]; }

    int selected = 0;
    std::vector<std::string> entries = {"Start", "Help", "Exit"};
    const CGFont* normal = nullptr;
    const CGFont* selectedFont = nullptr;
    float normalColor[4] = {0, 1, 0, 1};
    float selectedColor[4] = {1, 1, 0, 1};
    bool helpPage = false;
    int layout[2] = {2, 2};
};
