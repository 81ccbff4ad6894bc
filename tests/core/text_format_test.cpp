// The spelling of C99 formats for the Windows system C runtime.
#include <gtest/gtest.h>

#include "text_format.h"

namespace zendra {
namespace {

TEST(TextFormatTest, LengthModifiersInTheSystemRuntimeSpelling) {
    const struct {
        const char* c99;
        const char* system;
    } cases[] = {
        {"plain text", "plain text"},
        {"%d %s %p %c %%", "%d %s %p %c %%"},
        {"%lld %llu %-08llx", "%I64d %I64u %-08I64x"},
        {"%zu %zd %td %jd", "%Iu %Id %Id %I64d"},
        {"%hhd %hd %ld %ls %Lf", "%hd %hd %ld %ls %Lf"},
        {"%I64d %I32u %Iu", "%I64d %I32u %Iu"},
        {"%*.*s %.3f %10.2e", "%*.*s %.3f %10.2e"},
        {"%a %A %F", "%e %E %f"},
        {"%'d %+'5d", "%d %+5d"},
        {"100%", "100%"},
        {"%ll", "%I64"},
        {"%5.", "%5."},
    };
    for (const auto& c : cases) EXPECT_EQ(systemRuntimeFormat(c.c99), c.system) << c.c99;
}

}  // namespace
}  // namespace zendra
