#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <cstdlib>

int main (int argc, char** argv)
{
    // The processor writes below the home folder: keep tests out of the real one.
    const auto home = juce::File::createTempFile ("quorvane-test-home");
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    unsetenv ("XDG_CONFIG_HOME");

    int result = 0;
    {
        // Parameter-state timers and properties files want a message manager.
        juce::ScopedJuceInitialiser_GUI juce_runtime;
        ::testing::InitGoogleTest (&argc, argv);
        result = RUN_ALL_TESTS();
    }

    home.deleteRecursively();
    return result;
}
