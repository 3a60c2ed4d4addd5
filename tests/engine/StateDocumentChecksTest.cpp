#include "QuorvaneAudioProcessor.h"
#include "StateDocumentChecks.h"

#include <gtest/gtest.h>

// A preset file and a host chunk carry the same document; both ways in must accept and
// refuse the same texts.
TEST (StateDocumentChecks, PresetTextAndHostChunkAreJudgedAlike)
{
    QuorvaneAudioProcessor writer;
    writer.parameter_state.getParameter ("mix_mode")->setValueNotifyingHost (0.5f);
    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    format.newLineChars = "\r\n";
    const auto preset_text = writer.parameter_state.copyState().createXml()->toString (format);

    const struct
    {
        const char* name;
        std::string text;
        bool accepted;
    } cases[] = {
        { "as the preset browser writes it", preset_text.toStdString(), true },
        { "with a byte-order mark", "\xef\xbb\xbf" + preset_text.toStdString(), true },
        { "not UTF-8", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/>\xb0</Quorvane_State>", false },
        { "truncated UTF-8 at the end", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"\xf7", false },
        { "processing instruction inside", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/><?x?>m</Quorvane_State>", false },
        { "attribute given twice", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\" value=\"4\"/></Quorvane_State>", false },
        { "overlong letter in a tag", "<Quorvane_State><PARAM id=\"mix_mode\" value=\"3\"/><A\xc1\xb2/></Quorvane_State>", false },
        { "no document", "mix_mode=3", false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto document = StateDocumentChecks::parse_document (c.text.data(), c.text.size());
        EXPECT_EQ (document != nullptr, c.accepted);

        // The chunk path skips a byte-order mark nowhere: a host never writes one.
        if (c.text.rfind ("\xef\xbb\xbf", 0) == 0)
            continue;

        juce::MemoryOutputStream chunk;
        chunk.writeInt (0x21324356);
        chunk.writeInt ((int) c.text.size());
        chunk.write (c.text.data(), c.text.size());
        chunk.writeByte (0);

        QuorvaneAudioProcessor processor;
        processor.setStateInformation (chunk.getData(), (int) chunk.getDataSize());
        EXPECT_EQ (processor.parameter_state.getRawParameterValue ("mix_mode")->load() != 0.0f, c.accepted);
    }
}
