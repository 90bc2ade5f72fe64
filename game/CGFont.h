#pragma once

#include <cstdarg>
#include <string>

// A bitmap font in 96 display lists (characters 32 to 127), drawn at the
// current raster position. GLUT's bitmap fonts stand in for the system font;
// the nearest size to the requested height is taken.
class CGFont {
public:
    void Build(int fontHeight);
    // Formats like printf (at most 255 characters) and draws the text.
    void Print(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    // Shown texts are taken as printf formats without arguments: "%%" shows
    // one "%", other directives (which would read missing arguments) show
    // as written.
    static std::string FormatWithoutArguments(const std::string& text);

    unsigned base = 0;
    int height = 10;
};
