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
#include <string>

using namespace Steinberg;

TEST (ModuleFactory, NamesTheVendorAndExportsTheComponentThenTheControllerWithFixedIds)
{
    // Four 32-bit words, most significant byte first; the last two are the maker code and the plug-in code.
    using ClassId = std::array<unsigned char, 16>;
    const std::pair<ClassId, const char*> expected[] {
        { { 0xAB, 0xCD, 0xEF, 0x01, 0x91, 0x82, 0xFA, 0xEB, 'c', 'r', 'v', 'L', 'c', 'r', 'Q', 'u' }, "Audio Module Class" },
        { { 0xAB, 0xCD, 0xEF, 0x01, 0x12, 0x34, 0xAB, 0xCD, 'c', 'r', 'v', 'L', 'c', 'r', 'Q', 'u' }, "Component Controller Class" }
    };

    // Opened the way a Linux VST 3 host opens it.
    void* const module = dlopen (QUORVANE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE (module, nullptr) << dlerror();
    const auto entry = reinterpret_cast<bool (*) (void*)> (dlsym (module, "ModuleEntry"));
    const auto exit = reinterpret_cast<bool (*)()> (dlsym (module, "ModuleExit"));
    const auto get_factory = reinterpret_cast<IPluginFactory* (PLUGIN_API*) ()> (dlsym (module, "GetPluginFactory"));
    ASSERT_TRUE (entry != nullptr && exit != nullptr && get_factory != nullptr && entry (module));
    IPluginFactory* const factory = get_factory();
    ASSERT_NE (factory, nullptr);

    PFactoryInfo factory_info;
    ASSERT_EQ (factory->getFactoryInfo (&factory_info), kResultOk);
    EXPECT_STREQ (factory_info.vendor, "Corvalen");
    EXPECT_NE (factory_info.flags & PFactoryInfo::kUnicode, 0);
    IPluginFactory2* factory2 = nullptr;
    ASSERT_EQ (factory->countClasses(), 2);
    ASSERT_EQ (factory->queryInterface (IPluginFactory2_iid, reinterpret_cast<void**> (&factory2)), kResultOk);

    for (int32 i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (expected[i].second);
        PClassInfo2 info;
        ASSERT_EQ (factory2->getClassInfo2 (i, &info), kResultOk);
        ClassId id;
        std::memcpy (id.data(), info.cid, id.size());
        EXPECT_EQ (id, expected[i].first);
        EXPECT_STREQ (info.category, expected[i].second);
        EXPECT_EQ (std::string (info.name) + "|" + info.subCategories + "|" + info.vendor + "|" + info.version, "Quorvane|Fx|Delay|Corvalen|1.0.0");
        EXPECT_EQ (info.cardinality, PClassInfo::kManyInstances);
    }

    factory2->release();
    factory->release();
    exit();
    dlclose (module);
}
