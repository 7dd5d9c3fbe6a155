#include "tools/separation/SeparationStore.h"

#include "documents/QpGraphicsDocument.h"
#include "documents/QpGraphicsEditor.h"
#include "documents/QpGraphicsFormats.h"
#include "documents/QpGraphicsTool.h"
#include "framework/Localizer.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "imaging/ThumbnailFiles.h"
#include "model/ObjectStore.h"
#include "platform/Paths.h"

#include <QFile>
#include <QString>

namespace fs = std::filesystem;

namespace {

constexpr int kWarningCaption = 2835;

} // namespace

bool StoreSeparatedObject(TQpGraphicsTool& tool, TMarkedRegion& region, QString* itemName, QString* error)
{
    // The tool's own document is set only during an edit session.
    TQpGraphicsDocument* document = tool.Document();
    if (!document && QpGraphicsEditor) {
        document = QpGraphicsEditor->ActiveGraphicsDocument();
    }
    const int quality = QpGraphicsEditor
                            ? static_cast<TQpGraphicsFormats&>(QpGraphicsEditor->Formats()).JpegQuality()
                            : kDefaultJpegQuality;
    const QString dataFolder = platform::UserDataFolder();
    const fs::path folder =
        dataFolder.isEmpty() ? fs::path() : ObjectsFolder(QFile::encodeName(dataFolder).toStdString());

    std::string name;
    QString message;
    const TQpPixels* pixels = document ? document->CurrentPixels() : nullptr;
    bool stored = false;
    if (pixels && !folder.empty()) {
        stored = StoreObject(*pixels, region, folder, quality, name, message);
    } else {
        message = CannotStoreObjectText(folder);
    }
    if (itemName) {
        *itemName = QString::fromStdString(name);
    }
    if (!stored) {
        if (error) {
            *error = message;
        } else {
            const QString caption = LocalizedString(kWarningCaption, QStringLiteral("Warning"));
            const int flags = framework::kMbOk | framework::kMbIconExclamation;
            if (QpApplication) {
                QpApplication->ShowMessageBox(message, caption, flags);
            } else {
                framework::ShowMessageBox(nullptr, message, caption, flags);
            }
        }
    }
    return stored;
}
