#include "platform/Languages.h"

#include <array>
#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {
struct LanguageEntry
{
    int id;
    QLocale::Language language;
    QLocale::Territory territory;
};

// The primary languages a user is likely to run the program in; enough to pick a language file.
constexpr std::array kLanguages{
    LanguageEntry{1033, QLocale::English, QLocale::UnitedStates},
    LanguageEntry{2057, QLocale::English, QLocale::UnitedKingdom},
    LanguageEntry{1031, QLocale::German, QLocale::Germany},
    LanguageEntry{3079, QLocale::German, QLocale::Austria},
    LanguageEntry{2055, QLocale::German, QLocale::Switzerland},
    LanguageEntry{1036, QLocale::French, QLocale::France},
    LanguageEntry{1040, QLocale::Italian, QLocale::Italy},
    LanguageEntry{1034, QLocale::Spanish, QLocale::Spain},
    LanguageEntry{3082, QLocale::Spanish, QLocale::Spain},
    LanguageEntry{1046, QLocale::Portuguese, QLocale::Brazil},
    LanguageEntry{2070, QLocale::Portuguese, QLocale::Portugal},
    LanguageEntry{1043, QLocale::Dutch, QLocale::Netherlands},
    LanguageEntry{1049, QLocale::Russian, QLocale::Russia},
    LanguageEntry{1058, QLocale::Ukrainian, QLocale::Ukraine},
    LanguageEntry{1045, QLocale::Polish, QLocale::Poland},
    LanguageEntry{1029, QLocale::Czech, QLocale::CzechRepublic},
    LanguageEntry{1053, QLocale::Swedish, QLocale::Sweden},
    LanguageEntry{1030, QLocale::Danish, QLocale::Denmark},
    LanguageEntry{1044, QLocale::NorwegianBokmal, QLocale::Norway},
    LanguageEntry{1035, QLocale::Finnish, QLocale::Finland},
    LanguageEntry{1038, QLocale::Hungarian, QLocale::Hungary},
    LanguageEntry{1055, QLocale::Turkish, QLocale::Turkey},
    LanguageEntry{1032, QLocale::Greek, QLocale::Greece},
    LanguageEntry{1037, QLocale::Hebrew, QLocale::Israel},
    LanguageEntry{1025, QLocale::Arabic, QLocale::SaudiArabia},
    LanguageEntry{1041, QLocale::Japanese, QLocale::Japan},
    LanguageEntry{1042, QLocale::Korean, QLocale::SouthKorea},
    LanguageEntry{2052, QLocale::Chinese, QLocale::China},
    LanguageEntry{1028, QLocale::Chinese, QLocale::Taiwan},
};
} // namespace

int LanguageIdForLocale(const QLocale& locale)
{
    int languageOnly = 0;
    for (const LanguageEntry& entry : kLanguages) {
        if (entry.language != locale.language())
            continue;
        if (entry.territory == locale.territory())
            return entry.id;
        if (languageOnly == 0)
            languageOnly = entry.id;
    }
    return languageOnly;
}

QLocale LocaleForLanguageId(int id)
{
    for (const LanguageEntry& entry : kLanguages) {
        if (entry.id == id)
            return QLocale(entry.language, entry.territory);
    }
    return QLocale::c();
}

int UserDefaultLanguageId()
{
    const int id = LanguageIdForLocale(QLocale::system());
    return id != 0 ? id : 1033;
}

void SetThreadLanguage(int id)
{
    const QLocale locale = LocaleForLanguageId(id);
    if (locale != QLocale::c())
        QLocale::setDefault(locale);
}

std::optional<std::string> CodePageToUtf8(const std::string& bytes, int codePage)
{
    if (codePage == 65001)
        return bytes;
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    std::string out;
    out.resize(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace platform
