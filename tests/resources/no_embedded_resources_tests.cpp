// An executable linked without huevane_resources: the weak references to the
// embedded .res stay null, and every lookup fails with a clear reason.
#include <windows.h>

#include "resources/resources.h"

#include <gtest/gtest.h>

namespace res = win32::resources;

TEST(NoEmbeddedResources, LookupsFailAndSayWhy)
{
    EXPECT_NE(res::moduleError().find("without resources"), std::string::npos) << res::moduleError();
    EXPECT_TRUE(res::moduleEntries().empty());
    SetLastError(0);
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(100), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}
