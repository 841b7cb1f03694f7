// The renderer's logs: printf formatting of any length, line prefixes, and messages from several
// render threads at once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/renderer/capturing_render_log.h"
#include "platform/renderer/stream_render_log.h"

namespace {

using namespace KuvoUtils;
using Level = RenderLog::Level;

constexpr const char* kScaleWarning =
    "%s :: Stochastic flakes scale is too big! Reduce the flake scale and compensate by "
    "increasing the number of flakes.";

std::string readAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

TEST(RenderLog, FormatsArgumentsAndKeepsLevels) {
    CapturingRenderLog log;
    RenderLog& base = log;
    base.printWarning(kScaleWarning, "Glitter 100%");
    base.printInfo("%d threads, %.2f s", 4, 1.5);
    base.printError("%s", "no memory");

    const auto entries = log.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].level, Level::warning);
    EXPECT_EQ(entries[0].message,
              "Glitter 100% :: Stochastic flakes scale is too big! Reduce the flake scale and "
              "compensate by increasing the number of flakes.");
    EXPECT_EQ(entries[1].message, "4 threads, 1.50 s");
    EXPECT_EQ(log.lines()[1], "4 threads, 1.50 s");
    EXPECT_EQ(log.lines()[2], "error: no memory");
    EXPECT_EQ(log.count(Level::warning), 1u);
    EXPECT_EQ(log.count(Level::info), 1u);
}

TEST(RenderLog, MessagesOfAnyLengthArriveWhole) {
    // Message lengths around the formatting buffer (512) and far beyond it.
    for (std::size_t length : {4u, 5u, 510u, 511u, 512u, 513u, 5000u, 100000u}) {
        std::string name(length - 4, 'x');
        for (std::size_t i = 0; i < name.size(); i += 97) {
            name[i] = static_cast<char>('a' + i % 26);
        }
        CapturingRenderLog log;
        log.printWarning("<%s|%d>", name.c_str(), 7);
        const auto entries = log.entries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].message, "<" + name + "|7>") << "length " << length;
    }
}

TEST(RenderLog, NullFormatPrintsNothing) {
    CapturingRenderLog log;
    log.printWarning(nullptr);
    EXPECT_TRUE(log.entries().empty());
}

TEST(RenderLog, StreamLogPrefixesEachLineOnce) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        StreamRenderLog log(file);
        log.printWarning(kScaleWarning, "Mat");
        log.printError("failed %d", 3);
        log.printInfo("ready\n");
        log.printWarning("%s", "");
    }
    EXPECT_EQ(readAll(file),
              "warning: Mat :: Stochastic flakes scale is too big! Reduce the flake scale and "
              "compensate by increasing the number of flakes.\n"
              "error: failed 3\n"
              "ready\n"
              "warning: \n");
    std::fclose(file);
}

constexpr int kThreads = 8;
constexpr int kMessagesPerThread = 250;

std::string threadMessage(int thread, int i) {
    return "thread " + std::to_string(thread) + " message " + std::to_string(i) + " " +
           std::string(static_cast<std::size_t>(600 + thread * 10), 'a' + static_cast<char>(thread));
}

template <class Log>
void warnFromThreads(Log& log) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kMessagesPerThread; ++i) {
                log.printWarning("%s", threadMessage(t, i).c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

TEST(RenderLogThreads, CapturingLogKeepsEveryConcurrentWarning) {
    CapturingRenderLog log;
    warnFromThreads(log);
    const auto entries = log.entries();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kThreads * kMessagesPerThread));
    std::vector<int> nextOfThread(kThreads, 0);
    for (const auto& entry : entries) {
        int thread = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(entry.message.c_str(), "thread %d message %d", &thread, &i), 2);
        ASSERT_GE(thread, 0);
        ASSERT_LT(thread, kThreads);
        // Each thread's messages arrive whole and in the order it printed them.
        EXPECT_EQ(i, nextOfThread[thread]++);
        EXPECT_EQ(entry.message, threadMessage(thread, i));
    }
}

TEST(RenderLogThreads, StreamLogLinesNeverInterleave) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    StreamRenderLog log(file);
    warnFromThreads(log);
    const std::string text = readAll(file);
    std::fclose(file);

    std::size_t lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        int thread = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "warning: thread %d message %d", &thread, &i), 2);
        EXPECT_EQ(line, "warning: " + threadMessage(thread, i));
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, static_cast<std::size_t>(kThreads * kMessagesPerThread));
}

}  // namespace
