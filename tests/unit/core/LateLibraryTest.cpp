#include "core/LateLibrary.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Qt::StringLiterals;

TEST(LateLibrary, AFunctionOrALibraryMissingIsNamedAndNeverHalfLoaded)
{
    decltype(&std::strlen) length = nullptr;
    int (*absent)() = nullptr;
    TLateLibrary libc(u"libc.so.6"_s);
    libc.Resolve(length, "strlen");
    EXPECT_TRUE(libc.Complete());
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length("four"), 4u);
    libc.Resolve(absent, "jv_no_such_function").Resolve(length, "strlen");
    EXPECT_FALSE(libc.Complete());
    EXPECT_EQ(absent, nullptr);
    EXPECT_EQ(libc.Problem(), u"libc.so.6 lacks the function jv_no_such_function"_s);

    TLateLibrary missing(u"libjv-absent.so.1"_s);
    missing.Resolve(length, "strlen");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_FALSE(missing.Complete());
    EXPECT_EQ(length, nullptr);
    EXPECT_TRUE(missing.Problem().contains(u"libjv-absent.so.1"_s)) << missing.Problem().toStdString();
}
