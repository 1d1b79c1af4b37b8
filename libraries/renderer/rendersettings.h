#ifndef RENDERSETTINGS_H
#define RENDERSETTINGS_H

/** How glyphs are drawn and what is measured; the defaults draw what the window draws, byte for byte. */
struct RenderSettings {
    enum class Fit {
        LineBox, // as wide as the advance, as high as the line, the pen origin on the left edge
        Ink,     // the glyph's ink and padding pixels around it, nothing clipped
    };
    enum class Hinting { Default, None, Slight, Full };
    enum class Anchors {
        Percent, // 0, 100, 0, 100 for every letter
        Pixels,  // rows and columns of each glyph image, from the metrics
    };

    Fit fit = Fit::LineBox;
    /** Transparent pixels around the ink on every side; Fit::Ink only. */
    int padding = 1;
    bool antialias = true;
    Hinting hinting = Hinting::Default;
    Anchors anchors = Anchors::Percent;
    /** Whether kerning pairs are measured as well as each letter's geometry. */
    bool metrics = false;
    /** Logical dots per inch that point sizes are drawn at; 0 for the application's, that of its screen. */
    int dpi = 0;

    bool drawsLikeWindow() const
    {
        return fit == Fit::LineBox && antialias && hinting == Hinting::Default && anchors == Anchors::Percent;
    }
};

#endif // RENDERSETTINGS_H
