#include "Palette.h"

namespace QuorvaneUITools
{
Palette::Palette()
{
    text_colour = light_grey;
    background_colour = darkest_grey;
    // Titles sit on a darker strip of the panel colour: 0xff121212.
    header_colour = darkest_grey.withMultipliedBrightness (0.7f);
    delay_colour = mint;
    delay_mod_colour = lime;
    master_colour = magenta;
    distortion_colour = red;
    modulation_colour = lime;
    footer_colour = blue;
}
} // namespace QuorvaneUITools
