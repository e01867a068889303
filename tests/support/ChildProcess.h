#pragma once
// The built program as a child process, for the end-to-end tests: started
// with posix_spawn and killed when the test lets go of it, or run through
// the shell for its output and exit status.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// A child process that is killed when the test lets go of it.
class Child {
public:
    // Its standard output and error go to /dev/null, or to the files named.
    explicit Child(std::vector<std::string> argv, std::vector<std::string> extraEnvironment = {},
                   int keepOpenFd = -1, const std::string& outFile = {}, const std::string& errFile = {})
    {
        std::vector<char*> args;
        for (auto& arg : argv)
            args.push_back(arg.data());
        args.push_back(nullptr);
        std::vector<char*> env;
        for (auto& entry : extraEnvironment)
            env.push_back(entry.data());
        for (char** entry = environ; *entry; ++entry)
            env.push_back(*entry);
        env.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int devNull = open("/dev/null", O_WRONLY);
        if (errFile.empty())
            posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!outFile.empty())
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        else if (keepOpenFd < 0)
            posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(devNull);
    }

    ~Child()
    {
        if (running()) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Waits up to limit for it to end by itself: its exit status, -1 when a
    // signal ended it, -2 when it had to be killed.
    int wait(std::chrono::milliseconds limit)
    {
        for (auto waited = 0ms; waited < limit; waited += 50ms) {
            int status = 0;
            if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill9();
        return -2;
    }

    // Sends SIGTERM and waits up to ten seconds: the exit status, -1 when a
    // signal ended it, -2 when it had to be killed.
    int terminate()
    {
        if (pid_ <= 0 || exited_)
            return -1;
        kill(pid_, SIGTERM);
        for (auto waited = 0ms; waited < 10s; waited += 50ms) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        exited_ = true;
        return -2;
    }

    // SIGKILL: nothing of the program runs after it.
    void kill9()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            exited_ = true;
        }
    }

    bool running()
    {
        if (pid_ <= 0 || exited_)
            return false;
        exited_ = waitpid(pid_, nullptr, WNOHANG) == pid_;
        return !exited_;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

struct CommandResult {
    std::string text;
    int status = -1;
};

[[maybe_unused]] CommandResult run(const std::string& command)
{
    CommandResult result;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
            result.text.append(buffer, n);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return result;
}

[[maybe_unused]] std::string output(const std::string& command)
{
    return run(command).text;
}

} // namespace
