#pragma once

#include "catalogue_fixture.h"
#include "i18n/translate.h"

#include <gtest/gtest.h>

namespace lantorvix::test {

// Runs each test between a stopped translation layer and stops it again afterwards, with
// the locale variables cleared so that only what the test sets counts.
class TranslationTest : public ::testing::Test {
protected:
    void SetUp() override { i18n::StopTranslation(); }
    void TearDown() override { i18n::StopTranslation(); }

    void Install(const std::string& catalogue, const std::string& language, const std::string& domain)
    {
        WriteBytes(dir_.Catalogue(language, domain), ReadBytes(TestCatalogue(catalogue)));
    }

    TempDir dir_;
    ScopedEnv lang_{"LANG", std::nullopt};
    ScopedEnv all_{"LC_ALL", std::nullopt};
    ScopedEnv messages_{"LC_MESSAGES", std::nullopt};
};

} // namespace lantorvix::test
