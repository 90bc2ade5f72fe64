#pragma once

#include <cstdarg>
#include <string>

// A font in 96 display lists (characters 32 to 127), drawn from the current
// raster position in the current raster colour, like the system's bitmap
// fonts. GLUT's stroke font stands in for the system font, scaled to the
// height asked for: a positive height is the cell (ascent and descent), a
// negative one the character height without the leading, in pixels.
class CGFont {
public:
    void Build(int fontHeight);
    // Formats like printf (at most 255 characters) and draws the text.
    void Print(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    // The width of a text in pixels (needs GLUT to be initialised).
    float TextWidth(const std::string& text) const;
    // Pixels per unit of the stroke font.
    float Scale() const;
    // The width of the strokes in pixels: thicker for larger text.
    float LineWidth() const;

    // Shown texts are taken as printf formats without arguments: "%%" shows
    // one "%", other directives (which would read missing arguments) show
    // as written.
    static std::string FormatWithoutArguments(const std::string& text);

    unsigned base = 0;
    int height = 10;
};
