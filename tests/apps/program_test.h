// Tests that run glitter_render or glitter-host as a process in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program_run.h"

namespace glitter::testing {

class ProgramTest : public ::testing::Test {
  protected:
    explicit ProgramTest(const char* program) : program(program) {}

    // The program (or `other`) with `args`, "@/" standing for the folder, PLUGIN for the library.
    ProgramRun run(std::vector<std::string> args, const char* other = nullptr) {
        for (std::string& arg : args) {
            for (auto at = arg.find("@/"); at != std::string::npos; at = arg.find("@/"))
                arg.replace(at, 1, folder.path.string());
            for (auto at = arg.find("PLUGIN"); at != std::string::npos; at = arg.find("PLUGIN"))
                arg.replace(at, 6, GLITTER_PLUGIN_DLT);
        }
        return runProgram(other != nullptr ? other : program, args);
    }
    ProgramRun run(const std::string& args, const char* other = nullptr) {
        return run(words(args), other);
    }

    /// The standard output of a command that must succeed.
    std::string ok(const std::string& args) {
        const ProgramRun r = run(args);
        EXPECT_EQ(r.status, 0) << args << ": " << r.err;
        return r.out;
    }

    /// Each row "STATUS ARGS | MESSAGE" is a command (`prefix` and ARGS) that must exit with
    /// STATUS and MESSAGE in its error output, print nothing on standard output when STATUS is 1
    /// and leave the scene folder as it was.
    void expectRefusals(const std::vector<std::string>& rows) {
        for (const std::string& row : rows) {
            const std::size_t bar = row.find(" | ");
            ASSERT_NE(bar, std::string::npos) << row;
            const std::string args = prefix + row.substr(1, bar - 1);
            const std::vector<std::string> before = folder.files();
            // Stopped after a minute, so that a command wrongly taken (a huge image) fails soon.
            const ProgramRun r = run("60 " + std::string(program) + " " + args, "timeout");
            EXPECT_EQ(r.status, row[0] - '0') << args << ": " << r.err;
            EXPECT_NE(r.err.find(row.substr(bar + 3)), std::string::npos) << args << ": " << r.err;
            EXPECT_TRUE(row[0] != '1' || r.out.empty()) << args << ": " << r.out;
            EXPECT_EQ(folder.files(), before) << args;
        }
    }

    const char* program;
    std::string prefix;
    ScratchFolder folder;
};

}  // namespace glitter::testing
