#include "CliRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <vector>

extern char** environ;

CliRun::CliRun (const juce::StringArray& args)
{
    // Files, not pipes: no deadlock whatever the child writes.
    const juce::TemporaryFile out_file, err_file;
    const juce::String executable (QUORVANE_HOST_CLI);

    std::vector<std::string> storage { executable.toStdString() };
    for (const auto& arg : args)
        storage.push_back (arg.toStdString());

    std::vector<char*> argv;
    for (auto& arg : storage)
        argv.push_back (arg.data());
    argv.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, STDOUT_FILENO, out_file.getFile().getFullPathName().toRawUTF8(),
                                      O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen (&actions, STDERR_FILENO, err_file.getFile().getFullPathName().toRawUTF8(),
                                      O_WRONLY | O_CREAT | O_TRUNC, 0644);

    pid_t child = 0;
    const auto spawned = posix_spawn (&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy (&actions);

    if (spawned != 0)
    {
        err = "cannot start " + executable;
        return;
    }

    int status = 0;
    while (waitpid (child, &status, 0) < 0 && errno == EINTR) {}

    exited = WIFEXITED (status);
    exit_code = exited ? WEXITSTATUS (status) : -1;
    out = out_file.getFile().loadFileAsString();
    err = err_file.getFile().loadFileAsString();
}
