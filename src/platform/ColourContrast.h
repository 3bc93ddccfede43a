#pragma once

namespace garrison::ColourContrast {

// Colours here are 0xRRGGBB values, so that this stays free of any drawing code.

// The contrast ratio of two colours, 1 (equal light) to 21 (black on white).
double ratio(unsigned int first, unsigned int second);
// True for a background on which white reads better than black.
bool isDark(unsigned int background);
// The colour, moved towards white on a dark background (towards black on a light one) just
// far enough to reach the contrast ratio.
unsigned int readableOn(unsigned int colour, unsigned int background, double minimum = 4.5);

} // namespace garrison::ColourContrast
