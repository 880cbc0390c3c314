// Running another program from a check: its standard output as bytes and its exit status.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kx::test {

struct ProgramResult {
    int status = -1;  // exit status, or -1 when it could not run or was killed
    std::vector<uint8_t> out;
};

// Runs a shell command line; stderr goes where the command line sends it.
inline ProgramResult RunProgram(const std::string& command) {
    ProgramResult result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.insert(result.out.end(), buffer, buffer + got);
    }
    const int raw = pclose(pipe);
    result.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

inline bool HaveProgram(const std::string& name) {
    return RunProgram("command -v " + name + " >/dev/null 2>&1").status == 0;
}

// Single-quoted for the shell.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace kx::test
