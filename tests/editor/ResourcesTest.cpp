#include "BinaryData.h"
#include "EditorTestSupport.h"

#include <gtest/gtest.h>

#include <map>

TEST (Resources, EveryCompiledInImageParses)
{
    // Each family of pictures goes on one sheet for the eye, on a grey that shows black and white.
    const auto family_of = [] (const juce::String& name) -> juce::String
    {
        for (auto [prefix, family] : { std::pair ("knob", "knob"), { "env", "mod_sources" }, { "lfo", "mod_sources" }, { "none", "mod_sources" },
                                       { "wave", "waves_and_sync" }, { "sync", "waves_and_sync" }, { "mix", "routing" }, { "icon", "randomizer" } })
            if (name.startsWith (prefix))
                return family;
        return juce::StringArray { "soft_clip_svg", "hard_clip_svg", "overdrive_svg", "foldover_svg" }.contains (name) ? "distortion" : "footer";
    };
    std::map<juce::String, std::vector<std::unique_ptr<juce::Drawable>>> families;

    for (int i = 0, size = 0; i < BinaryData::namedResourceListSize; ++i)
    {
        const juce::String name (BinaryData::namedResourceList[i]);
        if (! name.endsWith ("_svg"))
            continue;
        const auto* data = BinaryData::getNamedResource (name.toRawUTF8(), size);
        auto drawable = juce::Drawable::createFromImageData (data, (size_t) size);
        ASSERT_NE (drawable, nullptr) << name;
        EXPECT_FALSE (drawable->getDrawableBounds().isEmpty()) << name;
        families[family_of (name)].push_back (std::move (drawable));
    }

    EXPECT_EQ (families["knob"].size(), 2u);

    for (auto& [family, drawables] : families)
    {
        juce::Image sheet (juce::Image::RGB, 160 * (int) drawables.size(), 160, true);
        juce::Graphics g (sheet);
        g.fillAll (juce::Colour (0xff7a7a7a));
        for (size_t i = 0; i < drawables.size(); ++i)
            drawables[i]->drawWithin (g, { 160.0f * (float) i + 8.0f, 8.0f, 144.0f, 144.0f }, juce::RectanglePlacement::centred, 1.0f);
        quorvane_test::keep_snapshot (sheet, "images_" + family);
    }
}
