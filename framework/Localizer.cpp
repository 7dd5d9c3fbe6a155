#include "framework/Localizer.h"

#include "core/QpLocalizedText.h"
#include "platform/Languages.h"

#include <QDir>
#include <QFileInfo>

TQpLocalizer* Localizer = nullptr;

TQpLocalizer::TQpLocalizer(const QString& programFolder, int userLanguageId)
{
    if (!Localizer) {
        Localizer = this;
        // Core classes below the framework reach the texts through this hook.
        SetCoreLocalizeFunction([](int id, std::u16string_view defaultText) {
            return ::LocalizedString(id, QString::fromStdU16String(std::u16string(defaultText)))
                .toStdU16String();
        });
    }

    const QString primary = programFolder + QStringLiteral("Languages/");
    m_folder =
        QFileInfo(primary).isDir() ? primary : programFolder + QStringLiteral("../Translations/Languages/");

    // Directory order is arbitrary on Linux; name order keeps "the first language found" stable.
    QDir folder(m_folder);
    const QStringList files = folder.entryList(
        {QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        const QString path = folder.filePath(file);
        const TQpLanguageFile languageFile = TQpLanguageFile::Load(path);
        const auto langId = languageFile.Value("Language", "LangId");
        bool ok = false;
        const int id = langId ? QString::fromStdString(*langId).trimmed().toInt(&ok) : 0;
        // Identifiers are 16-bit; a larger one would collide with another language when cut.
        if (!ok || id <= 0 || id > 0xFFFF)
            continue;
        auto language = std::make_unique<TQpLanguage>();
        language->Identifier = id;
        language->FileName = path;
        language->Name =
            QString::fromUtf8(languageFile.Value("Language", "Language").value_or(std::string()));
        m_languages.push_back(std::move(language));
    }

    const TQpLanguage* chosen = Find(userLanguageId);
    if (!chosen)
        chosen = Find(1033);
    if (!chosen && !m_languages.empty())
        chosen = m_languages.front().get();
    if (chosen) {
        LoadStrings(chosen->FileName, m_defaultStrings);
        m_defaultLanguage = chosen->Identifier;
    }
    m_currentLanguage = m_defaultLanguage;
}

TQpLocalizer::~TQpLocalizer()
{
    if (Localizer == this) {
        Localizer = nullptr;
        SetCoreLocalizeFunction({});
    }
}

const TQpLanguage* TQpLocalizer::Find(int id) const
{
    for (const auto& language : m_languages) {
        if (language->Identifier == id)
            return language.get();
    }
    return nullptr;
}

void TQpLocalizer::LoadStrings(const QString& fileName, TQpLocalStringList& strings)
{
    strings.Clear();
    const TQpLanguageFile file = TQpLanguageFile::Load(fileName);
    for (auto& [key, value] : file.Section("Strings")) {
        bool ok = false;
        const int id = QString::fromStdString(key).toInt(&ok);
        if (ok)
            strings.Add(id, value);
    }
    strings.Sort();
}

QString TQpLocalizer::LocalizedString(int id, const QString& defaultText) const
{
    if (const std::string* text = m_currentStrings.Find(id))
        return QString::fromUtf8(*text);
    if (const std::string* text = m_defaultStrings.Find(id))
        return QString::fromUtf8(*text);
    return defaultText;
}

void TQpLocalizer::SetLanguage(int id)
{
    platform::SetThreadLanguage(id);
    const TQpLanguage* language = Find(id);
    if (!language)
        return;
    m_currentLanguage = id;
    if (id == m_defaultLanguage)
        m_currentStrings.Clear();
    else
        LoadStrings(language->FileName, m_currentStrings);
    m_handlers.CallAll();
}

void TQpLocalizer::LanguageName(int id, QString& name) const
{
    if (const TQpLanguage* language = Find(id))
        name = language->Name;
}

void TQpLocalizer::RegisterLocalizeHandler(TQpMethod method)
{
    method();
    m_handlers.Add(method);
}

QString LocalizedString(int id, const QString& defaultText)
{
    return Localizer ? Localizer->LocalizedString(id, defaultText) : defaultText;
}

void SetLanguage(int id)
{
    if (Localizer)
        Localizer->SetLanguage(id);
}

void RegisterLocalizeHandler(TQpMethod method)
{
    if (Localizer)
        Localizer->RegisterLocalizeHandler(method);
    else
        method();
}

void UnregisterLocalizeHandler(TQpMethod method)
{
    if (Localizer)
        Localizer->UnregisterLocalizeHandler(method);
}
