// The real process: what it knows of itself.
#include "platform/process.h"

#include <gtest/gtest.h>

namespace vantrel::platform {
namespace {

TEST(ProcessTest, ProcessKnowsItself) {
    Process& process = RealProcess();
    std::u16string exe = process.ExecutablePath();
    EXPECT_NE(exe.find(u"platform_test"), std::u16string::npos);
    EXPECT_FALSE(process.CurrentDirectory().empty());
}

}  // namespace
}  // namespace vantrel::platform
