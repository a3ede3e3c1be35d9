// The resources built into the programs come out byte for byte as their files.
#include "shared/Resources.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using Norvane::Shared::FindResource;

TEST(Resources, ScriptLibraryIsEmbeddedExactlyAsItsFile) {
    const std::string file =
        Norvane::Testing::ReadFile(NORVANE_BINARY_DIR "/generated/bridge/QVX_EXTERNAL_JAVASCRIPT.js");
    ASSERT_FALSE(file.empty());
    const std::string_view embedded = FindResource("QVX_EXTERNAL_JAVASCRIPT");
    ASSERT_NE(embedded.data(), nullptr);
    EXPECT_EQ(std::string(embedded), file);
}

TEST(Resources, UnknownNamesAreNotFound) {
    for (const char* name :
         {"", "QVX_EXTERNAL_JAVASCRIPT.js", "qvx_external_javascript", "QVX_EXTERNAL_JAVASCRIPT "}) {
        const std::string_view found = FindResource(name);
        EXPECT_EQ(found.data(), nullptr) << '"' << name << '"';
        EXPECT_TRUE(found.empty());
    }
}
