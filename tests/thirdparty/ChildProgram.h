// Amberslope — passive program equalizer simulated at circuit level.
// Copyright (C) 2026 Hesko. GPL-3.0-or-later.
#pragma once

#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace hesko::test
{

// A third-party program the tests run beside themselves (a JACK server, a host, a display server):
// started in its own process group with its output in a log file and its standard input on a pipe
// the test holds open (console programs quit when it closes). Stopped, group and all, on destruction.
class ChildProgram
{
public:
    ChildProgram(const std::vector<std::string>& arguments, const std::string& logFile,
                 const std::vector<std::string>& environment = {})
    {
        int input[2];
        if (pipe(input) != 0)
            return;
        pid = fork();
        if (pid == 0)
        {
            setpgid(0, 0);
            dup2(input[0], STDIN_FILENO);
            close(input[1]);
            const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0)
            {
                dup2(log, STDOUT_FILENO);
                dup2(log, STDERR_FILENO);
            }
            for (const auto& variable : environment)
                putenv(const_cast<char*>(variable.c_str()));
            std::vector<char*> argv;
            for (const auto& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(input[0]);
        stdinPipe = input[1];
        if (pid > 0)
            setpgid(pid, pid);
    }

    ~ChildProgram() { stop(); }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool started() const { return pid > 0; }

    // True while the program runs.
    bool running()
    {
        if (pid <= 0)
            return false;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
        {
            pid = -1;
            return false;
        }
        return true;
    }

    // Closes its input, asks the group to end, and after a second insists.
    void stop()
    {
        if (stdinPipe >= 0)
            close(stdinPipe);
        stdinPipe = -1;
        if (pid <= 0)
            return;
        kill(-pid, SIGTERM);
        for (int i = 0; i < 100 && running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (pid > 0)
        {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

private:
    pid_t pid = -1;
    int stdinPipe = -1;
};

} // namespace hesko::test
