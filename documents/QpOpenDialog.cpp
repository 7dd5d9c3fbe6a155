#include "documents/QpOpenDialog.h"

#include "documents/QpDialogPreviewThread.h"
#include "framework/Localizer.h"
#include "imaging/QpPixels.h"

#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

namespace {
constexpr int kPanelBorder = 6;
constexpr int kPanelWidth = 240;
constexpr int kInitialBoxHeight = 224;
constexpr int kDescriptionLines = 7;

TQpOpenDialog::ExecuteHook& Hook()
{
    static TQpOpenDialog::ExecuteHook hook;
    return hook;
}
} // namespace

// The paint box: all its painting is the dialog's.
class TQpPreviewBox : public QWidget
{
public:
    TQpPreviewBox(TQpOpenDialog& dialog, QWidget* parent) : QWidget(parent), m_dialog(dialog) {}

protected:
    void paintEvent(QPaintEvent*) override { m_dialog.PaintPreview(this); }

private:
    TQpOpenDialog& m_dialog;
};

TQpOpenDialog::TQpOpenDialog(QWidget* owner, const TQpFileFormats& formats)
    : QFileDialog(owner), m_registry(formats)
{
    // The toolkit's own dialog: the desktop's cannot take a panel beside its file list.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFile);

    m_previewPanel = new QFrame(this);
    m_previewPanel->setFrameShape(QFrame::NoFrame);
    m_previewPanel->setFixedWidth(kPanelWidth);
    auto* layout = new QVBoxLayout(m_previewPanel);
    layout->setContentsMargins(kPanelBorder, kPanelBorder, kPanelBorder, kPanelBorder);
    m_previewBox = new TQpPreviewBox(*this, m_previewPanel);
    m_previewBox->setFixedHeight(kInitialBoxHeight);
    m_previewBox->setAttribute(Qt::WA_OpaquePaintEvent);
    layout->addWidget(m_previewBox);
    m_descriptionLabel = new QLabel(m_previewPanel);
    m_descriptionLabel->setWordWrap(true);
    m_descriptionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_descriptionLabel->setAttribute(Qt::WA_TranslucentBackground);
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    m_descriptionLabel->setFont(font);
    layout->addWidget(m_descriptionLabel, 1);

    if (auto* grid = qobject_cast<QGridLayout*>(this->layout()))
        grid->addWidget(m_previewPanel, 0, grid->columnCount(), grid->rowCount(), 1);
    m_previewPanel->installEventFilter(this);

    m_previewThread = std::make_unique<TQpDialogPreviewThread>(*this, m_registry);
    connect(this, &QFileDialog::currentChanged, this,
            [this](const QString& path) { SelectionChanged(path); });
    TQpOpenDialog::SetupFilter();
}

TQpOpenDialog::~TQpOpenDialog()
{
    // The thread ends before anything it could reach goes away.
    m_previewThread->Terminate();
    m_previewThread->WaitFor();
}

void TQpOpenDialog::SetExecuteHook(ExecuteHook hook)
{
    Hook() = std::move(hook);
}

void TQpOpenDialog::SetFormats(TQpFileFormatArray formats)
{
    m_formats = std::move(formats);
    QStringList filters;
    for (const std::u16string& filter : FormatNameFilters(m_formats))
        filters.append(QString::fromStdU16String(filter));
    setNameFilters(filters);
}

void TQpOpenDialog::SetupFilter()
{
    TQpFileFormatArray formats;
    m_registry.GetOpenFormats(formats);
    SetFormats(std::move(formats));
    // The all-supported entry, right after the formats themselves.
    SetFilterIndex(m_registry.Count() + 1);
}

void TQpOpenDialog::SetFileName(const QString& name)
{
    m_fileName = name;
    if (!name.isEmpty())
        selectFile(name);
}

int TQpOpenDialog::FilterIndex() const
{
    const qsizetype index = nameFilters().indexOf(selectedNameFilter());
    return index < 0 ? 0 : static_cast<int>(index) + 1;
}

void TQpOpenDialog::SetFilterIndex(int index)
{
    const QStringList filters = nameFilters();
    // 0 stands for the first entry, as in the platform's dialog.
    if (index < 1)
        index = 1;
    if (index <= filters.size())
        selectNameFilter(filters[index - 1]);
}

bool TQpOpenDialog::Execute()
{
    setWindowTitle(IsSaveDialog() ? LocalizedString(15, QStringLiteral("Save"))
                                  : LocalizedString(12, QStringLiteral("Open")));
    if (Hook()) {
        const bool confirmed = Hook()(*this);
        m_previewThread->Terminate();
        return confirmed;
    }
    return exec() == QDialog::Accepted;
}

void TQpOpenDialog::done(int result)
{
    m_previewThread->Terminate();
    if (result == QDialog::Accepted)
        m_fileName = selectedFiles().value(0);
    QFileDialog::done(result);
    QToolTip::hideText();
}

QString TQpOpenDialog::DescriptionText() const
{
    return m_descriptionLabel->text();
}

void TQpOpenDialog::SelectionChanged(const QString& fileName)
{
    m_thumbnail.reset();
    m_previewThread->Cancel();
    std::unique_ptr<TQpFileInfo> info;
    if (!fileName.isEmpty() && m_registry.GetFileInfo(fileName.toStdU16String(), info) && info) {
        std::u16string description;
        info->Description(description);
        m_descriptionLabel->setText(QStringLiteral("\n") + QString::fromStdU16String(description));
        const QRect client = m_previewBox->contentsRect();
        m_previewThread->SetPendingName(fileName, client.width() - 2, client.height() - 2);
    } else {
        m_descriptionLabel->clear();
    }
    m_previewBox->update();
}

void TQpOpenDialog::ThumbnailReady()
{
    if (m_previewThread->Terminated())
        return;
    if (std::unique_ptr<TQpThumbnail> thumbnail = m_previewThread->TakeThumbnail()) {
        m_thumbnail = std::move(thumbnail);
        m_previewBox->update();
    }
}

void TQpOpenDialog::PaintPreview(QWidget* box)
{
    QPainter painter(box);
    const QRect client = box->rect();
    QRegion rest(client);
    if (m_thumbnail) {
        const TQpRect target{client.left(), client.top(), client.right() + 1, client.bottom() + 1};
        TQpRect drawn;
        painter.save();
        if (m_thumbnail->Draw(painter, target, drawn) && !drawn.IsEmpty())
            rest -= QRegion(drawn.Left, drawn.Top, drawn.Width(), drawn.Height());
        painter.restore();
    }
    painter.setClipRegion(rest);
    painter.fillRect(client, box->palette().color(QPalette::Window));
    painter.setClipping(false);
    painter.setPen(box->palette().color(QPalette::Dark));
    painter.drawRect(client.adjusted(0, 0, -1, -1));
}

void TQpOpenDialog::LayOutPreview()
{
    // Room for about seven lines of the description below the thumbnail.
    const QFontMetrics metrics(m_descriptionLabel->font());
    const int textHeight = static_cast<int>(std::nearbyint(1.25 * kDescriptionLines * metrics.height()));
    const int height = m_previewPanel->contentsRect().height() - 2 * kPanelBorder - textHeight;
    if (height > 0)
        m_previewBox->setFixedHeight(height);
}

bool TQpOpenDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_previewPanel && event->type() == QEvent::Resize)
        LayOutPreview();
    return QFileDialog::eventFilter(watched, event);
}

TQpSaveDialog::TQpSaveDialog(QWidget* owner, const TQpFileFormats& formats) : TQpOpenDialog(owner, formats)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // The editor asks about an existing file itself, after it has settled the extension.
    setOption(QFileDialog::DontConfirmOverwrite, true);
    TQpSaveDialog::SetupFilter();
    // The type box follows a typed extension that names a format, and leaves the typed name as it is.
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(edit, &QLineEdit::textEdited, this, [this, edit](const QString& text) {
            const int typed =
                IndexOfFormatExtension(DialogFormats(), QFileInfo(text).suffix().toStdU16String());
            if (typed < 0 || typed + 1 == FilterIndex())
                return;
            SetFilterIndex(typed + 1);
            if (edit->text() != text)
                edit->setText(text);
        });
    }
}

void TQpSaveDialog::SetupFilter()
{
    TQpFileFormatArray formats;
    Registry().GetSaveFormats(formats);
    SetFormats(std::move(formats));
}
