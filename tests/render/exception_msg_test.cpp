#include "render/exception_msg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace KuvoUtils {
namespace {

TEST(ExceptionMsg, FormatsLikePrintf) {
    const ExceptionMsg error("[%s] %d of %.1f", "Pool", 3, 2.5);
    EXPECT_STREQ(error.getMessage(), "[Pool] 3 of 2.5");
    const ExceptionMsg empty(nullptr);
    EXPECT_STREQ(empty.getMessage(), "");
}

TEST(ExceptionMsg, CutsLongMessagesAtTheBuffer) {
    const std::string longText(3000, 'x');
    const ExceptionMsg error("%s!", longText.c_str());
    EXPECT_EQ(std::strlen(error.getMessage()), 1023u);
}

TEST(ExceptionMsg, CopiesOwnTheirMessage) {
    auto original = std::make_unique<ExceptionMsg>("lost %d", 42);
    const ExceptionMsg copy(*original);
    original.reset();
    EXPECT_STREQ(copy.getMessage(), "lost 42");
    ExceptionMsg assigned("other");
    assigned = copy;
    EXPECT_STREQ(assigned.getMessage(), "lost 42");
    EXPECT_NE(assigned.getMessage(), copy.getMessage());
}

}  // namespace
}  // namespace KuvoUtils
