#include "documents/QpEditor.h"

#include "core/QpGuid.h"
#include "core/QpSDF.h"
#include "framework/MainForm.h"

#include <QAction>
#include <QMenu>
#include <algorithm>
#include <functional>

// The recent-files list: its menu items and its settings section.

namespace {
constexpr TQpGuid kSectionGuid = *TQpGuid::Parse("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");
constexpr std::uint32_t kRecentFilesNode = 1;
} // namespace

void TQpEditor::AddRecentFile(const QString& name)
{
    if (name.isEmpty())
        return;
    const auto found =
        std::find_if(m_recentFiles.begin(), m_recentFiles.end(),
                     [&name](const QString& entry) { return entry.compare(name, Qt::CaseInsensitive) == 0; });
    if (found == m_recentFiles.end()) {
        m_recentFiles.prepend(name);
        while (m_recentFiles.size() > m_recentFileLimit)
            m_recentFiles.removeLast();
    } else {
        // The new spelling is kept: on a case-sensitive file system only it names the file just used.
        m_recentFiles.erase(found);
        m_recentFiles.prepend(name);
    }
    RebuildRecentFilesMenu();
}

QList<QAction*> TQpEditor::RecentFileItems() const
{
    QList<QAction*> items;
    if (!MainForm)
        return items;
    const QList<QAction*> all = MainForm->FileMenuItem->actions();
    const qsizetype first = all.indexOf(MainForm->FileMenuSeparator);
    const qsizetype last = all.indexOf(RecentFilesMenuSeparator);
    if (first < 0 || last < 0)
        return items;
    for (qsizetype i = first + 1; i < last; ++i)
        items.append(all[i]);
    return items;
}

void TQpEditor::RebuildRecentFilesMenu()
{
    if (!MainForm)
        return;
    QMenu* file = MainForm->FileMenuItem;
    QList<QAction*> items = RecentFileItems();
    while (items.size() < m_recentFiles.size()) {
        auto* item = new QAction(file);
        connect(item, &QAction::triggered, this, [this, item] { OpenRecentFile(item); });
        const QList<QAction*> all = file->actions();
        const qsizetype after = all.indexOf(MainForm->FileMenuSeparator);
        file->insertAction(all.value(after + 1, nullptr), item);
        items = RecentFileItems();
    }
    for (qsizetype k = 0; k < items.size(); ++k) {
        QAction* item = items[k];
        if (k >= m_recentFiles.size()) {
            item->setVisible(false);
            continue;
        }
        // The path rides in the item's data; in the caption a "&" would mark a mnemonic.
        QString shown = m_recentFiles[k];
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        item->setText(QStringLiteral("&%1 %2").arg(k + 1).arg(shown));
        item->setData(m_recentFiles[k]);
        item->setVisible(true);
    }
}

void TQpEditor::OpenRecentFile(QAction* item)
{
    const QString name = item->data().toString();
    if (name.isEmpty())
        return;
    TQpDocument* document = nullptr;
    OpenFile(name, document, true);
}

void TQpEditor::LoadSettings(TQpSDFReader& reader)
{
    if (!reader.EnterNode(1, kSectionGuid))
        return;
    if (reader.EnterNode(kRecentFilesNode)) {
        std::int32_t count = 0;
        reader.ReadInteger(0, count);
        // Only identifiers that are present are read, so a damaged count cannot drive a loop of
        // billions of steps; for a sound section this is n down to 1.
        std::vector<std::uint32_t> identifiers;
        if (const TQpSDFNode* node = reader.CurrentNode()) {
            for (const TQpSDFElement& value : node->Children.Values) {
                if (value.Identifier >= 1 && static_cast<std::int64_t>(value.Identifier) <= count)
                    identifiers.push_back(value.Identifier);
            }
        }
        std::sort(identifiers.begin(), identifiers.end(), std::greater<>());
        identifiers.erase(std::unique(identifiers.begin(), identifiers.end()), identifiers.end());
        for (const std::uint32_t k : identifiers) {
            std::u16string name;
            if (reader.ReadWideString(k, name) && !name.empty())
                AddRecentFile(QString::fromStdU16String(name));
        }
        reader.LeaveNode();
    }
    reader.LeaveNode();
}

void TQpEditor::SaveSettings(TQpSDFWriter& writer)
{
    writer.WriteBeginNode(1, kSectionGuid);
    writer.WriteBeginNode(kRecentFilesNode, static_cast<std::int32_t>(m_recentFiles.size()));
    for (qsizetype k = 0; k < m_recentFiles.size(); ++k)
        writer.WriteWideString(static_cast<std::uint32_t>(k + 1), m_recentFiles[k].toStdU16String());
    writer.WriteEndNode();
    writer.WriteEndNode();
}
