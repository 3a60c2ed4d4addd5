#pragma once

#include <juce_graphics/juce_graphics.h>

namespace QuorvaneUITools
{
// The editor's fixed colours: nine role colours first, then the named colours they come
// from. Panels share one instance through juce::SharedResourcePointer<Palette>.
class Palette
{
public:
    Palette();

    juce::Colour text_colour;
    juce::Colour background_colour;
    juce::Colour header_colour;
    juce::Colour delay_colour;
    juce::Colour delay_mod_colour;
    juce::Colour master_colour;
    juce::Colour distortion_colour;
    juce::Colour modulation_colour;
    juce::Colour footer_colour;

    juce::Colour blue { 0xff1c91ab };
    juce::Colour green { 0xff199143 };
    juce::Colour yellow { 0xffccb51f };
    juce::Colour red { 0xffd8504d };
    juce::Colour orange { 0xffc67624 };
    juce::Colour lime { 0xff96ca30 };
    juce::Colour mint { 0xff4bc89a };
    juce::Colour magenta { 0xffdd42c2 };
    juce::Colour purple { 0xff9731c2 };
    juce::Colour dark_grey { 0xff303030 };
    juce::Colour light_grey { 0xffbdbdbd };
    juce::Colour darker_grey { 0xff232323 };
    juce::Colour darkest_grey { 0xff191919 };
};
} // namespace QuorvaneUITools
