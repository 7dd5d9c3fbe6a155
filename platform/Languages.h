#pragma once
// Language identifiers as the language files carry them (1033 US English, 1031 German, ...),
// mapped to Qt locales, and code-page conversion of language files.

#include <QLocale>
#include <optional>
#include <string>

namespace platform {

// The identifier of the user's language, 1033 when the locale is not in the table.
int UserDefaultLanguageId();
// The locale for an identifier; the C locale when the identifier is unknown.
QLocale LocaleForLanguageId(int id);
// The identifier for a locale, 0 when it is not in the table.
int LanguageIdForLocale(const QLocale& locale);
// Makes the locale of `id` the default for formatting. The C library's numeric locale stays
// untouched so that numbers in files and scripts read the same in every language.
void SetThreadLanguage(int id);

// Converts bytes in code page `codePage` (1251, 1252, 65001, ...) to UTF-8; nothing when the code
// page is unknown or the bytes are not valid in it.
std::optional<std::string> CodePageToUtf8(const std::string& bytes, int codePage);

} // namespace platform
