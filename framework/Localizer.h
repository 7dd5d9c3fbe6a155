#pragma once
// Every user-visible text is fetched by number from the localizer, which reads one language file
// per language. Texts missing in the current language fall back to the default language, then
// to the caller's default. Switching the language calls every registered Localize handler.

#include "framework/LanguageFile.h"
#include "framework/QpMethodList.h"

#include <QString>
#include <memory>
#include <vector>

struct TQpLanguage
{
    QString Name;
    int Identifier = 0;
    QString FileName;
};

class TQpLocalizer
{
public:
    // Scans "<programFolder>Languages/", else "<programFolder>../Translations/Languages/", and
    // loads the default language chosen from `userLanguageId`.
    TQpLocalizer(const QString& programFolder, int userLanguageId);
    ~TQpLocalizer();
    TQpLocalizer(const TQpLocalizer&) = delete;
    TQpLocalizer& operator=(const TQpLocalizer&) = delete;

    QString LocalizedString(int id, const QString& defaultText = {}) const;
    void SetLanguage(int id);
    int CurrentLanguage() const { return m_currentLanguage; }
    int DefaultLanguage() const { return m_defaultLanguage; }
    const std::vector<std::unique_ptr<TQpLanguage>>& Languages() const { return m_languages; }
    // Leaves `name` unchanged when no language has that identifier.
    void LanguageName(int id, QString& name) const;
    const QString& LanguageFolder() const { return m_folder; }

    void RegisterLocalizeHandler(TQpMethod method);
    void UnregisterLocalizeHandler(TQpMethod method) { m_handlers.Remove(method); }
    int HandlerCount() const { return m_handlers.Count(); }

private:
    const TQpLanguage* Find(int id) const;
    static void LoadStrings(const QString& fileName, TQpLocalStringList& strings);

    int m_defaultLanguage = 0;
    int m_currentLanguage = 0;
    QString m_folder;
    std::vector<std::unique_ptr<TQpLanguage>> m_languages;
    TQpLocalStringList m_defaultStrings;
    TQpLocalStringList m_currentStrings;
    TQpMethodList m_handlers;
};

// The one localizer; null before it is created and after it is destroyed.
extern TQpLocalizer* Localizer;

// Shortcuts over the global localizer that also work before it exists (texts are then the
// defaults, and a registered handler is called once).
QString LocalizedString(int id, const QString& defaultText = {});
void SetLanguage(int id);
void RegisterLocalizeHandler(TQpMethod method);
void UnregisterLocalizeHandler(TQpMethod method);
