// The plug-in's identity as any VST 3 host reads it: from the module's factory through
// the SDK's own interfaces, with no JUCE in between.

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

// Four 32-bit words, most significant byte first; the last two are the maker code and the plug-in code.
constexpr ClassId component_id { 0xAB, 0xCD, 0xEF, 0x01, 0x91, 0x82, 0xFA, 0xEB, 'c', 'r', 'v', 'L', 'c', 'r', 'Q', 'u' };
constexpr ClassId controller_id { 0xAB, 0xCD, 0xEF, 0x01, 0x12, 0x34, 0xAB, 0xCD, 'c', 'r', 'v', 'L', 'c', 'r', 'Q', 'u' };

ClassId bytes_of (const TUID cid)
{
    ClassId bytes {};
    std::memcpy (bytes.data(), cid, bytes.size());
    return bytes;
}

TEST (ModuleFactory, NamesTheVendorAndExportsTheComponentThenTheControllerWithFixedIds)
{
    // Opened the way a Linux VST 3 host opens it.
    void* const module = dlopen (QUORVANE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE (module, nullptr) << dlerror();
    const auto entry = reinterpret_cast<bool (*) (void*)> (dlsym (module, "ModuleEntry"));
    const auto exit = reinterpret_cast<bool (*)()> (dlsym (module, "ModuleExit"));
    const auto get_factory = reinterpret_cast<IPluginFactory* (PLUGIN_API*) ()> (dlsym (module, "GetPluginFactory"));
    ASSERT_TRUE (entry != nullptr && exit != nullptr && get_factory != nullptr);
    ASSERT_TRUE (entry (module));
    IPluginFactory* const factory = get_factory();
    ASSERT_NE (factory, nullptr);

    PFactoryInfo factory_info;
    ASSERT_EQ (factory->getFactoryInfo (&factory_info), kResultOk);
    EXPECT_STREQ (factory_info.vendor, "Corvalen");
    EXPECT_STRNE (factory_info.url, "");
    EXPECT_STREQ (factory_info.email, "");
    EXPECT_NE (factory_info.flags & PFactoryInfo::kUnicode, 0);

    IPluginFactory2* factory2 = nullptr;
    ASSERT_EQ (factory->countClasses(), 2);
    ASSERT_EQ (factory->queryInterface (IPluginFactory2_iid, reinterpret_cast<void**> (&factory2)), kResultOk);

    const std::pair<ClassId, const char*> expected[] { { component_id, "Audio Module Class" },
                                                        { controller_id, "Component Controller Class" } };

    for (int32 i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (expected[i].second);
        PClassInfo info;
        PClassInfo2 info2;
        ASSERT_EQ (factory->getClassInfo (i, &info), kResultOk);
        ASSERT_EQ (factory2->getClassInfo2 (i, &info2), kResultOk);

        // Both versions of the class info carry the same identity.
        const auto expect_identity = [&] (const auto& c)
        {
            EXPECT_EQ (bytes_of (c.cid), expected[i].first);
            EXPECT_STREQ (c.category, expected[i].second);
            EXPECT_STREQ (c.name, "Quorvane");
            EXPECT_EQ (c.cardinality, PClassInfo::kManyInstances);
        };
        expect_identity (info);
        expect_identity (info2);
        EXPECT_STREQ (info2.subCategories, "Fx|Delay");
        EXPECT_STREQ (info2.vendor, "Corvalen");
        EXPECT_STREQ (info2.version, "1.0.0");
        EXPECT_STREQ (info2.sdkVersion, kVstVersionString); // whatever the SDK bundled with JUCE says
        RecordProperty ("sdk_version", info2.sdkVersion);
    }

    factory2->release();
    factory->release();
    exit();
    dlclose (module);
}
} // namespace
