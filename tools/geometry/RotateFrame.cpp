#include "tools/geometry/RotateFrame.h"

#include "framework/Localizer.h"
#include "imaging/QpLTBitmap.h"
#include "tools/geometry/RotateTool.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

class TThumbnailView : public QWidget
{
public:
    TThumbnailView(TQpRotateFrame& frame, QWidget* parent) : QWidget(parent), m_frame(frame) {}

protected:
    void paintEvent(QPaintEvent*) override { m_frame.PaintThumbnail(); }

private:
    TQpRotateFrame& m_frame;
};

namespace {

template <class T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TQpRotateFrame::TQpRotateFrame(TQpRotateTool& tool, QWidget* parent) : TQpFrame(parent), m_tool(&tool)
{
    setObjectName(QStringLiteral("RotateFrame"));
    TitleLabel = Named(new QLabel(this), "TitleLabel");
    PreviewControl = Named(new QWidget(this), "PreviewControl");
    PreviewPanel = Named(new QWidget(PreviewControl), "PreviewPanel");
    PreviewPanel->setFixedSize(176, 150);
    PreviewPanel->setAttribute(Qt::WA_OpaquePaintEvent);
    ThumbnailView = Named(new TThumbnailView(*this, PreviewPanel), "ThumbnailView");
    ThumbnailView->setGeometry(0, 0, 176, 150);
    RotateRightRadioButton = Named(new QRadioButton(PreviewControl), "RotateRightRadioButton");
    RotateLeftRadioButton = Named(new QRadioButton(PreviewControl), "RotateLeftRadioButton");
    FlipHorizontalRadioButton = Named(new QRadioButton(PreviewControl), "FlipHorizontalRadioButton");
    FlipVerticalRadioButton = Named(new QRadioButton(PreviewControl), "FlipVerticalRadioButton");
    RotateRightRadioButton->setChecked(true);
    RotateButton = Named(new QPushButton(PreviewControl), "RotateButton");
    RotateRightButton = Named(new QPushButton(this), "RotateRightButton");
    RotateLeftButton = Named(new QPushButton(this), "RotateLeftButton");
    FlipHorizontalButton = Named(new QPushButton(this), "FlipHorizontalButton");
    FlipVerticalButton = Named(new QPushButton(this), "FlipVerticalButton");
    ShowOptions = Named(new QPushButton(this), "ShowOptions");
    ShowOptions->setFlat(true);
    ShowOptions->setCursor(Qt::PointingHandCursor);

    auto* preview = new QVBoxLayout(PreviewControl);
    preview->setContentsMargins(0, 0, 0, 0);
    preview->addWidget(PreviewPanel, 0, Qt::AlignHCenter);
    for (QRadioButton* radio :
         {RotateRightRadioButton, RotateLeftRadioButton, FlipHorizontalRadioButton, FlipVerticalRadioButton})
        preview->addWidget(radio);
    preview->addWidget(RotateButton);
    auto* direct = new QGridLayout;
    direct->addWidget(RotateRightButton, 0, 0);
    direct->addWidget(RotateLeftButton, 0, 1);
    direct->addWidget(FlipHorizontalButton, 1, 0);
    direct->addWidget(FlipVerticalButton, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(PreviewControl);
    layout->addLayout(direct);
    layout->addWidget(ShowOptions, 0, Qt::AlignLeft);
    layout->addStretch(1);

    const auto call = [this](auto action) {
        return [this, action] {
            if (m_tool)
                action(*m_tool);
        };
    };
    connect(RotateRightButton, &QPushButton::clicked, this,
            call([](TQpRotateTool& t) { t.DirectButtonClick(TRotateKind::Right); }));
    connect(RotateLeftButton, &QPushButton::clicked, this,
            call([](TQpRotateTool& t) { t.DirectButtonClick(TRotateKind::Left); }));
    connect(FlipHorizontalButton, &QPushButton::clicked, this,
            call([](TQpRotateTool& t) { t.DirectButtonClick(TRotateKind::FlipHorizontal); }));
    connect(FlipVerticalButton, &QPushButton::clicked, this,
            call([](TQpRotateTool& t) { t.DirectButtonClick(TRotateKind::FlipVertical); }));
    connect(RotateButton, &QPushButton::clicked, this, call([](TQpRotateTool& t) { t.RotateButtonClick(); }));
    connect(ShowOptions, &QPushButton::clicked, this,
            call([](TQpRotateTool& t) { t.ShowOptionsButtonClick(); }));
    for (QRadioButton* radio :
         {RotateRightRadioButton, RotateLeftRadioButton, FlipHorizontalRadioButton, FlipVerticalRadioButton})
        connect(radio, &QRadioButton::toggled, this, [this, call](bool on) {
            if (on) {
                Retransform();
                call([](TQpRotateTool& t) { t.RotateRadioButtonChange(); })();
            }
        });
    Localize();
    ShowOptionsLayout(false);
}

TQpRotateFrame::~TQpRotateFrame() = default;

void TQpRotateFrame::Localize()
{
    TitleLabel->setText(LocalizedString(2024, QStringLiteral("Rotation & Flip")));
    const QString right = LocalizedString(2025, QStringLiteral("Rotate Right"));
    const QString left = LocalizedString(2026, QStringLiteral("Rotate Left"));
    const QString vertical = LocalizedString(2109, QStringLiteral("Flip Vertical"));
    const QString horizontal = LocalizedString(2110, QStringLiteral("Flip Horizontal"));
    RotateRightRadioButton->setText(right);
    RotateLeftRadioButton->setText(left);
    FlipVerticalRadioButton->setText(vertical);
    FlipHorizontalRadioButton->setText(horizontal);
    RotateRightButton->setText(right);
    RotateLeftButton->setText(left);
    FlipVerticalButton->setText(vertical);
    FlipHorizontalButton->setText(horizontal);
    RotateButton->setText(RadioButton(CheckedKind())->text());
    ShowOptions->setText(m_shown ? LocalizedString(2020, QStringLiteral("Hide Options"))
                                 : LocalizedString(2019, QStringLiteral("Show More Options")));
}

QRadioButton* TQpRotateFrame::RadioButton(TRotateKind kind) const
{
    switch (kind) {
    case TRotateKind::Left:
        return RotateLeftRadioButton;
    case TRotateKind::FlipHorizontal:
        return FlipHorizontalRadioButton;
    case TRotateKind::FlipVertical:
        return FlipVerticalRadioButton;
    default:
        return RotateRightRadioButton;
    }
}

QPushButton* TQpRotateFrame::DirectButton(TRotateKind kind) const
{
    switch (kind) {
    case TRotateKind::Left:
        return RotateLeftButton;
    case TRotateKind::FlipHorizontal:
        return FlipHorizontalButton;
    case TRotateKind::FlipVertical:
        return FlipVerticalButton;
    default:
        return RotateRightButton;
    }
}

TRotateKind TQpRotateFrame::CheckedKind() const
{
    for (TRotateKind kind :
         {TRotateKind::Right, TRotateKind::Left, TRotateKind::FlipHorizontal, TRotateKind::FlipVertical})
        if (RadioButton(kind)->isChecked())
            return kind;
    return TRotateKind::Right;
}

void TQpRotateFrame::CheckKind(TRotateKind kind)
{
    RadioButton(kind)->setChecked(true);
}

void TQpRotateFrame::ShowOptionsLayout(bool shown)
{
    m_shown = shown;
    PreviewControl->setVisible(shown);
    for (TRotateKind kind :
         {TRotateKind::Right, TRotateKind::Left, TRotateKind::FlipHorizontal, TRotateKind::FlipVertical})
        DirectButton(kind)->setVisible(!shown);
    Localize();
}

int TQpRotateFrame::ThumbnailSize() const
{
    return std::min(ThumbnailView->width(), ThumbnailView->height()) - 2;
}

void TQpRotateFrame::SetThumbnail(std::unique_ptr<TQpLTBitmap> thumbnail)
{
    m_thumbnail = std::move(thumbnail);
    Retransform();
}

void TQpRotateFrame::Retransform()
{
    RotateButton->setText(RadioButton(CheckedKind())->text());
    m_transformed = m_thumbnail ? m_thumbnail->Clone() : nullptr;
    if (m_transformed) {
        switch (CheckedKind()) {
        case TRotateKind::Left:
            m_transformed->RotateLeft();
            break;
        case TRotateKind::Right:
            m_transformed->RotateRight();
            break;
        case TRotateKind::FlipHorizontal:
            m_transformed->Mirror();
            break;
        case TRotateKind::FlipVertical:
            m_transformed->Flip();
            break;
        }
    }
    ThumbnailView->update();
}

void TQpRotateFrame::PaintThumbnail()
{
    QPainter painter(ThumbnailView);
    const QRect box = ThumbnailView->rect();
    painter.fillRect(box, palette().window());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    if (!m_transformed)
        return;
    const int w = m_transformed->GetWidth(), h = m_transformed->GetHeight();
    const TQpRect dest{(box.width() - w) / 2, (box.height() - h) / 2, (box.width() - w) / 2 + w,
                       (box.height() - h) / 2 + h};
    m_transformed->Paint(painter, dest, nullptr, nullptr);
}
