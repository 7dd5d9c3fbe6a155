// Feeds arbitrary bytes to the localizer as the one language file of its folder: the file is decoded
// (byte order mark, else its code page), its language identifier read, and its texts looked up.
#include "FuzzSupport.h"
#include "framework/Localizer.h"

#include <QString>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::TInputFile file("Languages/Fuzz.ini");
    file.Write(data, size);
    TQpLocalizer localizer(QString::fromStdString(file.Folder()), 1033);
    // One language at most: the file's, when its identifier is usable.
    if (localizer.Languages().size() > 1 ||
        (localizer.Languages().empty() ? localizer.DefaultLanguage() != 0
                                       : localizer.DefaultLanguage() != localizer.Languages()[0]->Identifier))
        std::abort();
    for (const int id : {0, 1, 2, 10, 94, 1030, -1})
        localizer.LocalizedString(id, QStringLiteral("default"));
    localizer.SetLanguage(localizer.DefaultLanguage());
    QString name;
    localizer.LanguageName(localizer.DefaultLanguage(), name);
    return 0;
}
