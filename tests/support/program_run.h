// Helpers for tests that touch files or run a program: a folder of the test's own, whole files
// read back, and a program run as a process with what it printed.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace glitter::testing {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Suite and test name of the running test, usable in a file name.
inline std::string currentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id keeps two runs at once (two build trees) out of each other's scratch files.
    std::string name = std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                       std::to_string(::getpid());
    std::replace(name.begin(), name.end(), '/', '_');
    return name;
}

/// A folder of the running test's own, empty at the start and removed at the end.
class ScratchFolder {
  public:
    ScratchFolder() : path(fs::path(::testing::TempDir()) / ("glitter_" + currentTestName())) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return *this / name;
    }
    /// The names in the folder, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    const fs::path path;
};

struct ProgramRun {
    int status = -1;  ///< exit status; -1 when the program did not exit (a crash)
    std::string out;
    std::string err;
};

/// Space-separated words, for command lines without spaces inside arguments.
inline std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

/// Runs `program` with `args` and nothing on standard input.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args) {
    const auto quoted = [](const std::string& arg) {
        std::string text = "'";
        for (char c : arg) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return text + "'";
    };
    const fs::path io = fs::path(::testing::TempDir()) / ("glitter_run_" + currentTestName());
    std::string command = quoted(program);
    for (const std::string& arg : args) command += " " + quoted(arg);
    command +=
        " >" + quoted(io.string() + ".out") + " 2>" + quoted(io.string() + ".err") + " </dev/null";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(io.string() + ".out");
    run.err = readFile(io.string() + ".err");
    fs::remove(io.string() + ".out");
    fs::remove(io.string() + ".err");
    return run;
}

}  // namespace glitter::testing
