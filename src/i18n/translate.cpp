#include "i18n/translate.h"

#include "base/resource_strings.h"
#include "base/shared_mutex.h"
#include "i18n/language.h"
#include "i18n/resource_domains.h"
#include "i18n/translation_instance.h"
#include "i18n/translation_platform.h"

#include <filesystem>
#include <mutex>
#include <shared_mutex>

namespace lantorvix::i18n {

namespace {

// Lock order: the state's lock before the domain list's.
struct State {
    SharedMutex mutex; // readers translate; StartTranslation/StopTranslation write
    std::string executablePath;
    std::unique_ptr<TranslationPlatform> platform;
    std::unique_ptr<TTranslationInstance> instance;
    CodePage codePage = CodePage::cp1252;
    ResourceStringDomains resourceDomains;
};

// Never destroyed: a message may be loaded while other statics are torn down at exit.
State& Global()
{
    static State* state = new State;
    return *state;
}

std::string DirectoryOf(const std::string& path)
{
    const char* separators = std::filesystem::path::preferred_separator == '\\' ? "\\/" : "/";
    const auto cut = path.find_last_of(separators);
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::u16string FromAnsi(std::string_view text, CodePage cp)
{
    return Utf8ToUtf16(AnsiToUtf8(text, cp));
}

std::string ToAnsi(std::u16string_view text, CodePage cp)
{
    return Utf8ToAnsi(Utf16ToUtf8(text), cp);
}

// Built-in messages: the first resource-string domain that changes the text wins.
std::string TranslatingLoader(std::string_view msgid)
{
    State& s = Global();
    std::shared_lock lock(s.mutex);
    if (!s.instance) {
        return std::string(msgid);
    }
    const std::u16string text = FromAnsi(msgid, s.codePage);
    std::string result(msgid);
    s.resourceDomains.ForEach([&](std::u16string_view domain) {
        std::u16string translated = s.instance->TranslateInDomain(domain, text);
        if (translated == text) {
            return false;
        }
        result = ToAnsi(translated, s.codePage);
        return true;
    });
    return result;
}

} // namespace

void StartTranslation(const std::string& executablePath, std::unique_ptr<TranslationPlatform> platform)
{
    State& s = Global();
    {
        std::unique_lock lock(s.mutex);
        s.instance.reset();
        s.platform = std::move(platform);
        s.executablePath = executablePath;
        std::string base = DirectoryOf(executablePath);
        base += static_cast<char>(std::filesystem::path::preferred_separator);
        base += "locale";
        std::string language = ChooseLanguage(*s.platform);
        s.codePage = CodePageForLanguage(language);
        s.instance =
            std::make_unique<TTranslationInstance>(std::move(base), std::move(language), *s.platform);
    }
    SetResourceStringLoader(TranslatingLoader);
}

void StartTranslation(const std::string& executablePath)
{
    StartTranslation(executablePath, MakeTranslationPlatform());
}

void StartTranslation()
{
    auto platform = MakeTranslationPlatform();
    const std::string path = platform->ExecutablePath();
    StartTranslation(path, std::move(platform));
}

void StopTranslation()
{
    SetResourceStringLoader(nullptr);
    State& s = Global();
    std::unique_lock lock(s.mutex);
    s.instance.reset();
    s.platform.reset();
    s.executablePath.clear();
    s.codePage = CodePage::cp1252;
    s.resourceDomains.Reset();
}

void StopTranslatingTexts()
{
    SetResourceStringLoader(nullptr);
    State& s = Global();
    std::unique_lock lock(s.mutex);
    s.instance.reset();
    s.resourceDomains.Reset();
}

std::u16string TranslateText(std::u16string_view text)
{
    State& s = Global();
    std::shared_lock lock(s.mutex);
    return s.instance ? s.instance->TranslateText(text) : std::u16string(text);
}

std::u16string TranslateInDomain(std::u16string_view domain, std::u16string_view text)
{
    State& s = Global();
    std::shared_lock lock(s.mutex);
    return s.instance ? s.instance->TranslateInDomain(domain, text) : std::u16string(text);
}

void AddResourceStringDomain(std::u16string_view domain)
{
    Global().resourceDomains.Add(domain);
}

std::string TranslateTextAnsi(std::string_view text)
{
    State& s = Global();
    std::shared_lock lock(s.mutex);
    if (!s.instance) {
        return std::string(text);
    }
    const std::u16string wide = FromAnsi(text, s.codePage);
    const std::u16string translated = s.instance->TranslateText(wide);
    return translated == wide ? std::string(text) : ToAnsi(translated, s.codePage);
}

CodePage AnsiCodePage()
{
    State& s = Global();
    std::shared_lock lock(s.mutex);
    return s.codePage;
}

std::string LanguageCode()
{
    State& s = Global();
    std::shared_lock lock(s.mutex);
    return s.instance ? s.instance->LanguageCode() : std::string();
}

std::vector<std::u16string> ResourceStringDomainList()
{
    std::vector<std::u16string> names;
    Global().resourceDomains.ForEach([&](std::u16string_view name) {
        names.emplace_back(name);
        return false;
    });
    return names;
}

} // namespace lantorvix::i18n
