// libFuzzer entry: every input is the preferences file that a new processor reads as it is
// created. The file reads, or the processor starts without preferences; either way the file
// stays on disk as it was, and the processor's preferences still name it.

#include "StateDocumentChecks.h"
#include "StateRestoreCheck.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static FuzzSession session;
    static const auto file = session.processor->properties_file->getFile();

    {
        // Written in place: replacing with nothing would delete the file instead.
        file.getParentDirectory().createDirectory();
        juce::FileOutputStream out (file);
        if (! out.openedOk() || ! out.setPosition (0) || out.truncate().failed() || ! out.write (data, size))
            abort_on ("preferences", { "could not write the input file" });
    }

    const auto refused = ! StateDocumentChecks::is_readable_text (data, size);
    juce::StringArray problems;
    {
        QuorvaneAudioProcessor processor;

        if (processor.properties_file == nullptr || processor.properties_file->getFile() != file)
            problems.add ("the preferences do not name their file");
        else if (refused && processor.properties_file->getAllProperties().size() != 0)
            problems.add ("refused preferences gave values");
    }

    juce::MemoryBlock after;
    if (! file.loadFileAsData (after) || after.getSize() != size || (size > 0 && std::memcmp (after.getData(), data, size) != 0))
        problems.add ("the preferences file changed");

    if (file.getParentDirectory().getNumberOfChildFiles (juce::File::findFilesAndDirectories) != 1)
        problems.add ("a file was left beside the preferences");

    abort_on ("preferences", problems);
    return 0;
}
