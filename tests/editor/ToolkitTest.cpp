#include "Palette.h"

#include <gtest/gtest.h>

TEST (Palette, HeaderColourIsTheDarkenedBackground)
{
    EXPECT_EQ (QuorvaneUITools::Palette().header_colour.getARGB(), 0xff121212u);
}
