#include "CommandLine.h"

#include "HostedPlugin.h"
#include "WavRenderer.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>

#include <sys/stat.h>

namespace
{
constexpr int exit_refused = 1; // a file, the plug-in or a value was refused
constexpr int exit_usage = 2;   // the command line itself is wrong

constexpr int default_block_size = 512;
constexpr double info_sample_rate = 48000.0; // info describes and never plays: any rate does
constexpr double default_bpm = 120.0;
constexpr double max_bpm = 999.0; // the most any DAW's tempo field takes

const char* const help = R"(quorvane-host: the project's command-line VST 3 host.

Usage:
  quorvane-host info BUNDLE
  quorvane-host render BUNDLE IN.wav OUT.wav [options]
  quorvane-host --help

BUNDLE is a VST 3 bundle, a folder such as Quorvane.vst3. The host loads it as
a DAW does: it scans the module, creates its first class, runs it with stereo
in and stereo out and drives it from this thread.

info BUNDLE
  Prints the plug-in's name, version, vendor, category and audio I/O, then
  every automatable parameter in host order (the framework's bypass included):
  its index, host ID, name, range in its own units, default and, for a choice,
  every choice with its index. Parameters that a DAW does not list (such as the
  MIDI controllers JUCE emulates) are counted in one closing line.

render BUNDLE IN.wav OUT.wav [options]
  Plays IN.wav through the plug-in and writes OUT.wav, a 32-bit float WAV file
  of the same length. A stereo file renders to stereo. A mono file plays on both
  channels of the plug-in's stereo input, as a mono clip on a stereo track
  does, and renders to stereo. Other channel counts are refused.

  --set ID=VALUE     Sets a parameter before the render; repeatable, applied in
                     order. ID is the plug-in's own parameter ID (for example
                     delay1_time), "byps" for the bypass, or the host ID that
                     info lists. VALUE is in the parameter's own units as info
                     shows them (ms, %, Hz, dB); a choice takes its index (or
                     its text), a switch 0 or 1. A value outside the range is
                     refused, not clamped.
  --state FILE       Restores a state file saved with --save-state before the
                     --set values apply.
  --save-state FILE  Saves the plug-in's state (the host's state blob) after
                     the render.
  --rate R           Runs the plug-in at R Hz, a whole number from 8000 to 768000,
                     and writes OUT.wav at R. The samples are not resampled.
                     Default: IN.wav's rate.
  --block N          Processes in blocks of N frames, 1 to 65536; the last block
                     may be shorter. Default: 512.
  --bpm B            The tempo the play head reports, above 0 and up to 999.
                     Default: 120. The play head runs from 0 in 4/4, playing.

  Options also take the form --option=value. Numbers are plain decimals.
  Neither OUT.wav nor the state file may be IN.wav (or a link to it), and the
  state file may not be OUT.wav.

Errors are one line on stderr. Exit status: 0 on success, 1 when a file, the
plug-in or a parameter value is refused, 2 when the command line is wrong.
Nothing is written unless the render succeeds, and OUT.wav and the state file
only ever appear complete.
)";

struct Refusal
{
    juce::String message;
    int exit_code;
};

int report (const Refusal& refusal)
{
    auto line = "quorvane-host: " + refusal.message;

    if (refusal.exit_code == exit_usage)
        line << " (see quorvane-host --help)";

    std::fprintf (stderr, "%s\n", line.toRawUTF8());
    return refusal.exit_code;
}

Refusal usage (const juce::String& message) { return { message, exit_usage }; }
Refusal refused (const juce::String& message) { return { message, exit_refused }; }

juce::File file_argument (const juce::String& path)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile (path);
}

struct RenderCommand
{
    juce::File bundle, input, output;
    juce::StringArray settings; // "id=value", in order
    std::optional<juce::File> state_in, state_out;
    std::optional<double> sample_rate;
    int block_size = default_block_size;
    double bpm = default_bpm;
};

const juce::StringArray known_options { "--set", "--state", "--save-state", "--rate", "--block", "--bpm" };

std::optional<Refusal> parse_option (RenderCommand& command, const juce::String& name, const juce::String& value)
{
    const auto number = PluginParameter::parse_number (value);

    if (name == "--set")
    {
        if (! value.containsChar ('=') || value.startsWithChar ('='))
            return usage ("--set takes ID=VALUE, not '" + value + "'");

        command.settings.add (value);
    }
    else if (name == "--state" || name == "--save-state")
    {
        auto& slot = name == "--state" ? command.state_in : command.state_out;

        if (slot.has_value())
            return usage (name + " is given twice");

        slot = file_argument (value);
    }
    else if (name == "--rate")
    {
        // A WAV header holds a whole rate.
        if (! number || *number != std::floor (*number) || *number < HostedPlugin::min_sample_rate
            || *number > HostedPlugin::max_sample_rate)
            return usage ("--rate takes a whole sample rate from 8000 to 768000 Hz, not '" + value + "'");

        command.sample_rate = *number;
    }
    else if (name == "--block")
    {
        if (! number || *number != std::floor (*number) || *number < 1 || *number > HostedPlugin::max_block_size)
            return usage ("--block takes a whole number of frames from 1 to " + juce::String (HostedPlugin::max_block_size)
                          + ", not '" + value + "'");

        command.block_size = (int) *number;
    }
    else if (name == "--bpm")
    {
        if (! number || *number <= 0.0 || *number > max_bpm)
            return usage ("--bpm takes a tempo above 0 and up to 999, not '" + value + "'");

        command.bpm = *number;
    }
    else
    {
        return usage ("unknown option '" + name + "'");
    }

    return std::nullopt;
}

std::optional<Refusal> parse_render (const juce::StringArray& args, RenderCommand& command)
{
    juce::StringArray positional;

    for (int i = 1; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        if (! arg.startsWith ("--"))
        {
            positional.add (arg);
            continue;
        }

        juce::String name = arg, value;

        if (arg.containsChar ('='))
        {
            name = arg.upToFirstOccurrenceOf ("=", false, false);
            value = arg.fromFirstOccurrenceOf ("=", false, false);
        }
        else if (i + 1 < args.size())
        {
            value = args[++i];
        }
        else if (known_options.contains (arg))
        {
            return usage ("option " + arg + " needs a value");
        }
        else
        {
            return usage ("unknown option '" + arg + "'");
        }

        if (auto refusal = parse_option (command, name, value))
            return refusal;
    }

    if (positional.size() != 3)
        return usage ("render takes BUNDLE IN.wav OUT.wav, got " + juce::String (positional.size()) + " file arguments");

    command.bundle = file_argument (positional[0]);
    command.input = file_argument (positional[1]);
    command.output = file_argument (positional[2]);
    return std::nullopt;
}

// The same file under two names: the real paths meet, or the names are links to one file.
bool same_file (const juce::File& a, const juce::File& b)
{
    const auto real = [] (const juce::File& file)
    {
        const auto resolve = [] (const juce::File& f) -> juce::String
        {
            char resolved[PATH_MAX];
            return ::realpath (f.getFullPathName().toRawUTF8(), resolved) != nullptr ? juce::String (resolved) : juce::String();
        };

        // The file may not exist yet, and then only its folder resolves.
        if (const auto whole = resolve (file); whole.isNotEmpty())
            return whole;

        const auto folder = resolve (file.getParentDirectory());
        return folder.isNotEmpty() ? folder + "/" + file.getFileName() : file.getFullPathName();
    };

    if (real (a) == real (b))
        return true;

    struct stat sa, sb;
    return ::stat (a.getFullPathName().toRawUTF8(), &sa) == 0 && ::stat (b.getFullPathName().toRawUTF8(), &sb) == 0
           && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::optional<Refusal> refuse_overwriting_inputs (const RenderCommand& command)
{
    if (same_file (command.input, command.output))
        return refused ("OUT.wav " + command.output.getFullPathName() + " is IN.wav: the render would overwrite its input");

    if (command.state_out && same_file (*command.state_out, command.input))
        return refused ("--save-state " + command.state_out->getFullPathName() + " is IN.wav: it would overwrite the input");

    if (command.state_out && same_file (*command.state_out, command.output))
        return refused ("--save-state " + command.state_out->getFullPathName() + " is OUT.wav: it would overwrite the render");

    return std::nullopt;
}

std::optional<Refusal> render (const RenderCommand& command)
{
    if (auto refusal = refuse_overwriting_inputs (command))
        return refusal;

    WavRenderer renderer;

    if (const auto opened = renderer.open (command.input); opened.failed())
        return refused (opened.getErrorMessage());

    const auto sample_rate = command.sample_rate.value_or (renderer.file_sample_rate());
    juce::String error;
    auto plugin = HostedPlugin::load (command.bundle, sample_rate, command.block_size, error);

    if (plugin == nullptr)
        return refused (error);

    plugin->play_head.bpm = command.bpm;

    if (command.state_in)
        if (const auto restored = plugin->restore_state_file (*command.state_in); restored.failed())
            return refused (restored.getErrorMessage());

    for (const auto& setting : command.settings)
    {
        const auto id = setting.upToFirstOccurrenceOf ("=", false, false).trim();
        const auto value = setting.fromFirstOccurrenceOf ("=", false, false);

        if (const auto set = plugin->set_parameter (id, value); set.failed())
            return refused ("--set " + setting + ": " + set.getErrorMessage());
    }

    // Checked before the render, so that a state that cannot be saved costs no output.
    if (command.state_out && ! command.state_out->getParentDirectory().isDirectory())
        return refused ("cannot write the state file " + command.state_out->getFullPathName() + ": no such folder");

    if (const auto rendered = renderer.render (*plugin, command.output); rendered.failed())
        return refused (rendered.getErrorMessage());

    if (command.state_out)
        if (const auto saved = plugin->save_state_file (*command.state_out); saved.failed())
            return refused (saved.getErrorMessage());

    std::printf ("%s: %lld frames at %s Hz in blocks of %d at %s BPM through %s\n",
                 command.output.getFullPathName().toRawUTF8(),
                 (long long) renderer.num_frames(),
                 PluginParameter::format_number (sample_rate).toRawUTF8(),
                 command.block_size,
                 PluginParameter::format_number (command.bpm).toRawUTF8(),
                 plugin->description().name.toRawUTF8());
    return std::nullopt;
}

juce::String describe_range (const PluginParameter& p)
{
    using Kind = PluginParameter::Kind;
    auto text = PluginParameter::format_number (p.minimum) + " to " + PluginParameter::format_number (p.maximum);

    if (p.kind == Kind::normalised)
        return text + " (normalised)";

    return p.unit.isNotEmpty() ? text + " " + p.unit : text;
}

juce::String describe_default (const PluginParameter& p)
{
    const auto text = PluginParameter::format_number (p.default_value);

    if (p.kind == PluginParameter::Kind::choice)
        return text + " (" + p.choices[(int) p.default_value] + ")";

    return text;
}

juce::String describe_steps (const PluginParameter& p)
{
    switch (p.kind)
    {
        case PluginParameter::Kind::choice: return "choice of " + juce::String (p.num_steps);
        case PluginParameter::Kind::stepped: return juce::String (p.num_steps) + " steps";
        case PluginParameter::Kind::normalised: return "normalised";
        case PluginParameter::Kind::continuous: break;
    }

    return "continuous";
}

void print_info (HostedPlugin& plugin)
{
    auto& instance = plugin.instance();
    const auto& description = plugin.description();
    juce::String out;

    out << description.name << " " << description.version << " by " << description.manufacturerName << "\n"
        << "  category  " << description.category << "\n"
        << "  format    " << description.pluginFormatName << ", " << description.fileOrIdentifier << "\n"
        << "  audio     " << instance.getTotalNumInputChannels() << " in ("
        << instance.getChannelLayoutOfBus (true, 0).getDescription() << "), "
        << instance.getTotalNumOutputChannels() << " out ("
        << instance.getChannelLayoutOfBus (false, 0).getDescription() << "), latency "
        << instance.getLatencySamples() << " samples, tail "
        << (std::isinf (instance.getTailLengthSeconds()) ? juce::String ("infinite")
                                                         : juce::String (instance.getTailLengthSeconds()) + " s")
        << "\n"
        << "  MIDI      " << (instance.acceptsMidi() ? "input" : "no input") << ", "
        << (instance.producesMidi() ? "output" : "no output") << "\n"
        << "\n";

    std::vector<const PluginParameter*> listed, hidden;

    for (const auto& p : plugin.parameters())
        (p.is_automatable ? listed : hidden).push_back (&p);

    out << (int) listed.size() << " automatable parameters in host order:\n"
        << "  index  host id     name                          range                  default              kind\n";

    for (const auto* p : listed)
    {
        const auto name = p->is_bypass ? p->name + " (byps)" : p->name;

        out << "  " << juce::String ((int) (p - plugin.parameters().data())).paddedLeft (' ', 5)
            << "  " << juce::String (p->host_id).paddedRight (' ', 10)
            << "  " << name.paddedRight (' ', 28)
            << "  " << describe_range (*p).paddedRight (' ', 21)
            << "  " << describe_default (*p).paddedRight (' ', 19)
            << "  " << describe_steps (*p) << "\n";

        if (p->kind == PluginParameter::Kind::choice)
        {
            juce::StringArray choices;

            for (int i = 0; i < p->choices.size(); ++i)
                choices.add (juce::String (i) + " " + p->choices[i]);

            out << "         choices: " << choices.joinIntoString (", ") << "\n";
        }
    }

    if (! hidden.empty())
        out << "and " << (int) hidden.size() << " parameters that are not automatable, from \""
            << hidden.front()->name << "\" to \"" << hidden.back()->name << "\"\n";

    std::fputs (out.toRawUTF8(), stdout);
}

int run_command (const juce::StringArray& args)
{
    if (args[0] == "info")
    {
        if (args.size() != 2)
            return report (usage ("info takes one argument, BUNDLE"));

        juce::String error;
        auto plugin = HostedPlugin::load (file_argument (args[1]), info_sample_rate, default_block_size, error);

        if (plugin == nullptr)
            return report (refused (error));

        print_info (*plugin);
        return 0;
    }

    if (args[0] == "render")
    {
        RenderCommand command;

        if (auto refusal = parse_render (args, command))
            return report (*refusal);

        if (auto refusal = render (command))
            return report (*refusal);

        return 0;
    }

    return report (usage ("unknown command '" + args[0] + "'"));
}
} // namespace

int CommandLine::run (const juce::StringArray& args)
{
    if (args.contains ("--help") || args.contains ("-h"))
    {
        std::fputs (help, stdout);
        return 0;
    }

    if (args.isEmpty())
        return report (usage ("no command given"));

    try
    {
        // The hosting needs a message thread: this one.
        juce::ScopedJuceInitialiser_GUI runtime;
        return run_command (args);
    }
    catch (const std::exception& e)
    {
        return report (refused (juce::String ("unexpected failure: ") + e.what()));
    }
}
