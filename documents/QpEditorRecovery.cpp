// Recovery copies: what the user changed survives a logout or a kill, as the next start offers it back.

#include "documents/QpEditor.h"

#include "framework/Localizer.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Lossless and quick to write: the copy is made while the session is ending.
int RecoveryFormat(const TQpDocumentFormats& formats)
{
    TQpFileFormatArray list;
    formats.GetSaveFormats(list);
    for (const char16_t* extension : {u"bmp", u"png", u"tif"})
        if (const int index = IndexOfFormatExtension(list, extension); index >= 0)
            return list[static_cast<std::size_t>(index)].Identifier;
    return list.empty() ? -1 : list.front().Identifier;
}

} // namespace

QString TQpEditor::RecoveryFolder() const
{
    if (!m_recoveryFolder.isEmpty())
        return m_recoveryFolder;
    const QString state = platform::UserStateFolder();
    return state.isEmpty() ? QString() : state + QStringLiteral("/recovery");
}

void TQpEditor::WriteRecoveryCopies()
{
    const QString folder = RecoveryFolder();
    const int format = RecoveryFormat(Formats());
    if (m_plugInMode || folder.isEmpty() || format < 0 || !QDir().mkpath(folder))
        return;
    int number = 0;
    for (const std::unique_ptr<TQpDocument>& document : m_documents) {
        if (document->Unmodified())
            continue;
        ++number;
        const QString copy = folder + QStringLiteral("/%1.image").arg(number);
        if (!Formats().Save(*document, copy.toStdU16String(), format))
            continue;
        // What the document was: its file and its format, so that Save goes where it went before.
        QFile about(folder + QStringLiteral("/%1.about").arg(number));
        if (about.open(QIODevice::WriteOnly | QIODevice::Truncate))
            about.write(
                (document->FileName() + QLatin1Char('\n') + QString::number(document->Format())).toUtf8());
    }
}

bool TQpEditor::OfferRecoveredDocuments()
{
    const QString folder = RecoveryFolder();
    if (folder.isEmpty())
        return false;
    QDir dir(folder);
    const QStringList copies = dir.entryList({QStringLiteral("*.image")}, QDir::Files, QDir::Name);
    if (copies.isEmpty())
        return false;
    const bool reopen = QpApplication->ShowMessageBox(
                            LocalizedString(4018, QStringLiteral("The program was ended by the system "
                                                                 "while pictures had unsaved changes. "
                                                                 "Open the kept copies?")),
                            framework::kMbYesNo | framework::kMbIconQuestion) == framework::kIdYes;
    // Ended again while asking: the copies wait for the next start.
    if (framework::ClosingDown())
        return true;
    for (const QString& name : copies) {
        const QString copy = dir.filePath(name);
        const QString aboutPath = dir.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".about"));
        QFile about(aboutPath);
        QStringList lines;
        if (about.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(about.readAll()).split(QLatin1Char('\n'));
        about.close();
        TQpDocument* document = nullptr;
        if (reopen && (m_multipleDocuments || m_documents.empty()) && OpenFile(copy, document, false)) {
            bool known = false;
            const std::int32_t format = lines.size() > 1 ? lines[1].toInt(&known) : 0;
            document->SetFileName(lines.isEmpty() ? QString() : lines[0]);
            if (known)
                document->SetFormat(format);
            document->SetUnmodified(false);
            UpdateCaption();
        }
        QFile::remove(copy);
        QFile::remove(aboutPath);
    }
    return true;
}
