// The decimal separator of the user's locale of number formats, with locales
// compiled for the test into a folder of its own (LOCPATH).
#include "platform/Process.h"
#include "platform/System.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace Norvane;

class UserDecimalSeparator : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG", "LOCPATH"})
            Saved.emplace_back(name, Platform::GetEnv(name));
        for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"})
            Platform::UnsetEnv(name);
    }
    void TearDown() override {
        for (const auto& [name, value] : Saved) {
            if (value)
                Platform::SetEnv(name, *value);
            else
                Platform::UnsetEnv(name);
        }
    }
    // Compiles the locale from the system's definitions into Folder.
    static bool Compile(const Testing::TempDir& Folder, const std::string& Source, const std::string& Name) {
        const std::string command =
            "localedef -i " + Source + " -f UTF-8 " + (Folder / Name) + " 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }

    std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

TEST_F(UserDecimalSeparator, FollowsTheFirstSetVariableOfNumberFormats) {
    Testing::TempDir locales;
    ASSERT_TRUE(Compile(locales, "de_DE", "de_DE.UTF-8")) << "localedef (package locales) is needed";
    ASSERT_TRUE(Compile(locales, "en_US", "en_US.UTF-8"));
    Platform::SetEnv("LOCPATH", locales.Path().string());

    EXPECT_EQ(Platform::UserDecimalSeparator(), ".") << "nothing set";
    Platform::SetEnv("LANG", "de_DE.UTF-8");
    EXPECT_EQ(Platform::UserDecimalSeparator(), ",");
    Platform::SetEnv("LC_NUMERIC", "en_US.UTF-8");
    EXPECT_EQ(Platform::UserDecimalSeparator(), ".") << "LC_NUMERIC before LANG";
    Platform::SetEnv("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(Platform::UserDecimalSeparator(), ",") << "LC_ALL before LC_NUMERIC";
    Platform::SetEnv("LC_ALL", "");
    EXPECT_EQ(Platform::UserDecimalSeparator(), ".") << "an empty value is skipped";
    Platform::SetEnv("LC_NUMERIC", "xx_NOWHERE.UTF-8");
    EXPECT_EQ(Platform::UserDecimalSeparator(), ".") << "a locale that is not installed";
    Platform::SetEnv("LC_NUMERIC", "C");
    EXPECT_EQ(Platform::UserDecimalSeparator(), ".");
}

} // namespace
