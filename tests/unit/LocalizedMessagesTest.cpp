#include "runtime/LocalizedMessages.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using namespace Norvane::Runtime;

namespace {

// Sets the locale variables for one test and puts the old values back.
class LocaleEnvironment {
public:
    LocaleEnvironment() {
        for (const char* name : Names) {
            const char* value = std::getenv(name);
            Saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    ~LocaleEnvironment() {
        for (auto& [name, value] : Saved) {
            if (value)
                ::setenv(name, value->c_str(), 1);
            else
                ::unsetenv(name);
        }
    }
    void Set(const char* name, const char* value) { ::setenv(name, value, 1); }

private:
    static constexpr const char* Names[] = {"LC_ALL", "LC_NUMERIC", "LANG", "LC_MESSAGES"};
    std::vector<std::pair<const char*, std::optional<std::string>>> Saved;
};

} // namespace

TEST(LocalizedMessages, LanguageCodeComesFromTheLocaleOfFormatsInOrder) {
    LocaleEnvironment env;
    EXPECT_EQ(GetUserLanguageCode(), "");
    env.Set("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(GetUserLanguageCode(), "fr");
    env.Set("LC_NUMERIC", "de_DE.UTF-8");
    EXPECT_EQ(GetUserLanguageCode(), "de");
    env.Set("LC_ALL", "es_ES@euro");
    EXPECT_EQ(GetUserLanguageCode(), "es");
    // The language of messages is not the locale of formats.
    env.Set("LC_MESSAGES", "it_IT.UTF-8");
    EXPECT_EQ(GetUserLanguageCode(), "es");
}

TEST(LocalizedMessages, EmptyVariablesAreSkippedAndCLocaleHasNoLanguage) {
    LocaleEnvironment env;
    env.Set("LANG", "zh_CN.UTF-8");
    env.Set("LC_ALL", "");
    EXPECT_EQ(GetUserLanguageCode(), "zh");
    env.Set("LC_NUMERIC", "C");
    EXPECT_EQ(GetUserLanguageCode(), "");
    EXPECT_EQ(GetLocalizedMessage(lmErrorTitle), "Error");
    env.Set("LC_NUMERIC", "POSIX");
    EXPECT_EQ(GetLocalizedMessage(lmLanguageCode), "en");
    env.Set("LC_NUMERIC", "C.UTF-8");
    EXPECT_EQ(GetLocalizedMessage(lmAcceptButton), "Accept");
}

TEST(LocalizedMessages, RowsAreChosenByExactCodeWithEnglishFallback) {
    // Portuguese has no row.
    EXPECT_EQ(GetLocalizedMessageFor("pt", lmNoPayload), "This is not a valid Windows application.");
    EXPECT_EQ(GetLocalizedMessageFor("pt", lmLanguageCode), "en");
    // The comparison is case-sensitive.
    EXPECT_EQ(GetLocalizedMessageFor("ES", lmAcceptButton), "Accept");
    // The German row keeps the English word for its error title.
    EXPECT_EQ(GetLocalizedMessageFor("de", lmErrorTitle), "Error");
    EXPECT_EQ(GetLocalizedMessageFor("de", lmConfirmTitle), "Bestätigen");
    EXPECT_EQ(GetLocalizedMessageFor("it", lmLanguageCode), "it");
    EXPECT_EQ(GetLocalizedMessageFor("fr", lmAcceptButton), "J'accepte");
    EXPECT_EQ(GetLocalizedMessageFor("zh", lmInstallRefused), "此应用程序无法继续，将立即关闭。");
}

TEST(LocalizedMessages, InstallOfferButtonsInEnglishAndSpanish) {
    EXPECT_EQ(GetLocalizedMessageFor("en", lmAcceptButton), "Accept");
    EXPECT_EQ(GetLocalizedMessageFor("en", lmCancelButton), "Cancel");
    EXPECT_EQ(GetLocalizedMessageFor("es", lmAcceptButton), "Aceptar");
    EXPECT_EQ(GetLocalizedMessageFor("es", lmCancelButton), "Cancelar");
    EXPECT_EQ(GetLocalizedMessageFor("es", lmInstallOffer),
              "El Microsoft WebView2 runtime es necesario para esta aplicación. ¿Quiere instalarlo ahora?");
}

TEST(LocalizedMessages, IndexOutsideTheRowsRaises) {
    for (int index : {-1, 10, 100}) {
        try {
            GetLocalizedMessage(index);
            FAIL() << "no exception for " << index;
        } catch (const EMessageIndexError& e) {
            EXPECT_STREQ(e.what(), "MessageIndex is out of range!");
        }
    }
    EXPECT_NO_THROW(GetLocalizedMessage(9));
    EXPECT_NO_THROW(GetLocalizedMessage(0));
}
