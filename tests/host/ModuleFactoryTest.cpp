// The plug-in's identity as any VST 3 host reads it: straight from the module's
// factory, through the SDK's own interfaces, with no JUCE in between.

#include <gtest/gtest.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wzero-as-null-pointer-constant"
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/vsttypes.h>
#pragma GCC diagnostic pop

#include <dlfcn.h>

#include <array>
#include <cstring>

using namespace Steinberg;

namespace
{
using ClassId = std::array<unsigned char, 16>;

// Four 32-bit words, each most significant byte first; the last two are the
// maker code "crvL" and the plug-in code "crQu".
constexpr ClassId component_id { 0xAB, 0xCD, 0xEF, 0x01, 0x91, 0x82, 0xFA, 0xEB, 'c', 'r', 'v', 'L', 'c', 'r', 'Q', 'u' };
constexpr ClassId controller_id { 0xAB, 0xCD, 0xEF, 0x01, 0x12, 0x34, 0xAB, 0xCD, 'c', 'r', 'v', 'L', 'c', 'r', 'Q', 'u' };

ClassId bytes_of (const TUID cid)
{
    ClassId bytes {};
    std::memcpy (bytes.data(), cid, bytes.size());
    return bytes;
}

/** The module opened the way a Linux VST 3 host opens it. */
class ModuleFactoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = dlopen (QUORVANE_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE (module, nullptr) << dlerror();

        const auto entry = reinterpret_cast<bool (*) (void*)> (dlsym (module, "ModuleEntry"));
        const auto get_factory = reinterpret_cast<IPluginFactory* (PLUGIN_API*) ()> (dlsym (module, "GetPluginFactory"));
        ASSERT_NE (entry, nullptr);
        ASSERT_NE (get_factory, nullptr);
        ASSERT_NE (dlsym (module, "ModuleExit"), nullptr);

        ASSERT_TRUE (entry (module));
        entered = true;
        factory = get_factory();
        ASSERT_NE (factory, nullptr);
    }

    void TearDown() override
    {
        if (factory != nullptr)
            factory->release();

        if (entered)
            reinterpret_cast<bool (*)()> (dlsym (module, "ModuleExit")) ();

        if (module != nullptr)
            dlclose (module);
    }

    void* module = nullptr;
    bool entered = false;
    IPluginFactory* factory = nullptr;
};

TEST_F (ModuleFactoryTest, FactoryNamesTheVendorWithUnicodeStrings)
{
    PFactoryInfo info;
    ASSERT_EQ (factory->getFactoryInfo (&info), kResultOk);

    EXPECT_STREQ (info.vendor, "Corvalen");
    EXPECT_STRNE (info.url, "");
    EXPECT_STREQ (info.email, "");
    EXPECT_NE (info.flags & PFactoryInfo::kUnicode, 0);
}

TEST_F (ModuleFactoryTest, ExportsTheComponentThenTheControllerWithTheirFixedIds)
{
    ASSERT_EQ (factory->countClasses(), 2);

    IPluginFactory2* factory2 = nullptr;
    ASSERT_EQ (factory->queryInterface (IPluginFactory2_iid, reinterpret_cast<void**> (&factory2)), kResultOk);
    ASSERT_NE (factory2, nullptr);

    struct Expected
    {
        ClassId id;
        const char* category;
    };

    const Expected expected[] { { component_id, "Audio Module Class" }, { controller_id, "Component Controller Class" } };

    for (int32 i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (expected[i].category);

        // Both versions of the class info carry the same identity.
        const auto expect_identity = [&] (const auto& info)
        {
            EXPECT_EQ (bytes_of (info.cid), expected[i].id);
            EXPECT_STREQ (info.category, expected[i].category);
            EXPECT_STREQ (info.name, "Quorvane");
            EXPECT_EQ (info.cardinality, PClassInfo::kManyInstances);
        };

        PClassInfo info;
        ASSERT_EQ (factory->getClassInfo (i, &info), kResultOk);
        expect_identity (info);

        PClassInfo2 info2;
        ASSERT_EQ (factory2->getClassInfo2 (i, &info2), kResultOk);
        expect_identity (info2);
        EXPECT_STREQ (info2.subCategories, "Fx|Delay");
        EXPECT_STREQ (info2.vendor, "Corvalen");
        EXPECT_STREQ (info2.version, "1.0.0");
        // Whatever the SDK bundled with JUCE says; the report records it.
        EXPECT_STREQ (info2.sdkVersion, kVstVersionString);
        RecordProperty ("sdk_version", info2.sdkVersion);
    }

    factory2->release();
}
} // namespace
