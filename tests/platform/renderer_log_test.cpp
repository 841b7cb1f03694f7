// The renderer's logs: printf formatting of any length, line prefixes, and messages from several
// render threads at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/renderer/capturing_render_log.h"
#include "platform/renderer/stream_render_log.h"

namespace {

using namespace KuvoUtils;

std::vector<std::string> readLines(std::FILE* file) {
    std::vector<std::string> lines(1);
    std::rewind(file);
    for (int ch = std::fgetc(file); ch != EOF; ch = std::fgetc(file)) {
        if (ch == '\n')
            lines.emplace_back();
        else
            lines.back() += static_cast<char>(ch);
    }
    std::fclose(file);
    return lines;
}

TEST(RenderLog, FormatsArgumentsOfAnyLengthAndPrefixesLevels) {
    CapturingRenderLog log;
    RenderLog& base = log;
    base.printWarning("%s :: scale", "Glitter 100%");
    base.printInfo("%d threads, %.2f s", 4, 1.5);
    base.printError("%s", "no memory");
    base.printWarning(nullptr);  // prints nothing
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"warning: Glitter 100% :: scale",
                                                     "4 threads, 1.50 s", "error: no memory"}));
    EXPECT_EQ(log.count(RenderLog::Level::warning), 1u);
    // Message lengths around the formatting buffer (512) and far beyond it.
    for (std::size_t length : {4u, 511u, 512u, 513u, 100000u}) {
        std::string name(length - 4, 'x');
        for (std::size_t i = 0; i < name.size(); i += 97) name[i] = static_cast<char>('a' + i % 26);
        CapturingRenderLog sized;
        sized.printWarning("<%s|%d>", name.c_str(), 7);
        ASSERT_EQ(sized.entries().size(), 1u);
        EXPECT_EQ(sized.entries()[0].message, "<" + name + "|7>") << "length " << length;
    }

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    StreamRenderLog stream(file);
    stream.printWarning("%s", "late");
    stream.printInfo("ready\n");  // a message's own newline is not doubled
    stream.printError("%s", "");
    EXPECT_EQ(readLines(file), (std::vector<std::string>{"warning: late", "ready", "error: ", ""}));
}

constexpr int kThreads = 8;
constexpr int kMessagesPerThread = 250;

std::string threadMessage(int thread, int i) {
    return "thread " + std::to_string(thread) + " message " + std::to_string(i) + " " +
           std::string(600 + 10 * static_cast<std::size_t>(thread),
                       static_cast<char>('a' + thread));
}

// Every line whole, and each thread's lines in the order it printed them.
void expectWholeOrderedLines(RenderLog& log,
                             const std::function<std::vector<std::string>()>& lines) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kMessagesPerThread; ++i)
                log.printWarning("%s", threadMessage(t, i).c_str());
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<int> next(kThreads, 0);
    for (const std::string& line : lines()) {
        int t = -1;
        if (line.empty()) continue;
        ASSERT_EQ(std::sscanf(line.c_str(), "warning: thread %d", &t), 1) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(line, "warning: " + threadMessage(t, next[t]++));
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kMessagesPerThread));
}

TEST(RenderLogThreads, ConcurrentWarningsArriveWholeAndInOrder) {
    CapturingRenderLog captured;
    expectWholeOrderedLines(captured, [&] { return captured.lines(); });
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    StreamRenderLog stream(file);
    expectWholeOrderedLines(stream, [&] { return readLines(file); });
}

}  // namespace
