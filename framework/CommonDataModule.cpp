#include "framework/CommonDataModule.h"

#include "framework/QpApplication.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>

// Resources compiled into a static library are registered only on request.
static void InitIconResources()
{
    Q_INIT_RESOURCE(icons);
}

TCommonDataModule* CommonDataModule = nullptr;
TProgressMeter* ProgressMeter = nullptr;

void TProgressMeter::Start(int steps)
{
    if (!m_bar)
        return;
    // A range of 0..0 makes Qt show a busy bar; an empty bar needs a real range.
    m_bar->setRange(0, steps > 0 ? steps : 1);
    m_bar->setValue(0);
    // Shown only while there is progress to show: the status bar's room goes to the hint otherwise.
    m_bar->setVisible(steps > 0);
}

void TProgressMeter::Step()
{
    if (m_bar && m_bar->value() < m_bar->maximum())
        m_bar->setValue(m_bar->value() + 1);
    if (m_bar && m_bar->value() >= m_bar->maximum())
        m_bar->setVisible(false);
}

TCommonDataModule::TCommonDataModule()
{
    if (!CommonDataModule)
        CommonDataModule = this;
    if (QpApplication)
        QpApplication->AddComponent(this, nullptr);
    InitIconResources();
    // Images are named after their index; indices without a drawing stay empty.
    const QDir folder(QStringLiteral(":/icons/toolbar"));
    for (const QString& file : folder.entryList({QStringLiteral("*.png")})) {
        if (file.contains('@'))
            continue;
        bool ok = false;
        const int index = QFileInfo(file).completeBaseName().toInt(&ok);
        if (!ok)
            continue;
        QIcon icon(folder.filePath(file));
        const QString retina =
            folder.filePath(QStringLiteral("%1@2x.png").arg(QFileInfo(file).completeBaseName()));
        if (QFileInfo::exists(retina))
            icon.addFile(retina);
        ToolbarImages.Set(index, icon);
    }
}

TCommonDataModule::~TCommonDataModule()
{
    if (ProgressMeter == ProgressMeterOwner.get())
        ProgressMeter = nullptr;
    if (CommonDataModule == this)
        CommonDataModule = nullptr;
    if (QpApplication)
        QpApplication->RemoveComponent(this);
}
