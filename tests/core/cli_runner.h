#pragma once

// karrow-cli as a user starts it, for the tests of the command line and of its studies: in the
// current folder, its standard output and error collected from files there.

#include "test_support.h"

#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace karrow::test {

struct CliOutcome {
    int Status = -1; // the exit status; -1 when it did not exit normally
    std::string Out;
    std::string Err;
};

// Starts karrow-cli with `arguments`. Its standard output goes to the file `stdoutPath`
// (nullptr: closed), collected by FinishCli when it is "cli.out"; its errors to "cli.err".
inline pid_t StartCli(const std::vector<std::string>& arguments, const char* stdoutPath = "cli.out")
{
    std::vector<char*> argv { const_cast<char*>(KARROW_CLI) };
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutPath == nullptr)
        posix_spawn_file_actions_addclose(&actions, 1);
    else
        posix_spawn_file_actions_addopen(
            &actions, 1, stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "cli.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, KARROW_CLI, &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the run started by StartCli and collects what it wrote.
inline CliOutcome FinishCli(pid_t pid)
{
    CliOutcome outcome;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        outcome.Status = WEXITSTATUS(status);
    outcome.Out = std::filesystem::exists("cli.out") ? ReadFile("cli.out") : "";
    outcome.Err = ReadFile("cli.err");
    std::filesystem::remove("cli.out");
    std::filesystem::remove("cli.err");
    return outcome;
}

inline CliOutcome RunCli(const std::vector<std::string>& arguments, const char* stdoutPath = "cli.out")
{
    return FinishCli(StartCli(arguments, stdoutPath));
}

} // namespace karrow::test
