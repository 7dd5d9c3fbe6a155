#include "tools/separation/SeparationFrame.h"

#include "framework/Localizer.h"
#include "tools/separation/SeparationTool.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption, bool checkable = false)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setCheckable(checkable);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The captions set the groups' least width, so that no language cuts them off; the panel widens.
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return button;
}

QSlider* MakeTrackBar(QWidget* parent, const char* name, int minimum, int maximum, int position)
{
    auto* trackBar = new QSlider(Qt::Horizontal, parent);
    trackBar->setObjectName(QLatin1String(name));
    trackBar->setRange(minimum, maximum);
    trackBar->setValue(position);
    trackBar->setTickPosition(QSlider::TicksBelow);
    trackBar->setTickInterval(1);
    return trackBar;
}

} // namespace

TQpSeparationFrame::TQpSeparationFrame(TQpSeparationTool& tool, QWidget* parent)
    : TQpFrame(parent), m_tool(&tool)
{
    setObjectName(QStringLiteral("TQpSeparationFrame"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    TitleLabel = new QLabel(QStringLiteral("Separation"), this);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    QFont title = TitleLabel->font();
    title.setUnderline(true);
    title.setBold(true);
    TitleLabel->setFont(title);
    layout->addWidget(TitleLabel);

    SizeLabel = new QLabel(QStringLiteral("Size:"), this);
    SizeLabel->setObjectName(QStringLiteral("SizeLabel"));
    layout->addWidget(SizeLabel);
    SizeTrackBar = MakeTrackBar(this, "SizeTrackBar", 1, 200, 25);
    SizeTrackBar->setTickInterval(20);
    layout->addWidget(SizeTrackBar);

    auto* groups = new QHBoxLayout;
    groups->setSpacing(3);
    layout->addLayout(groups);
    RegimeTntGroupBox = new QGroupBox(QStringLiteral("Regime"), this);
    RegimeTntGroupBox->setObjectName(QStringLiteral("RegimeTntGroupBox"));
    auto* regimeLayout = new QVBoxLayout(RegimeTntGroupBox);
    regimeLayout->setContentsMargins(3, 3, 3, 3);
    regimeLayout->setSpacing(2);
    RegimeEdgeTBXButton = MakeButton(RegimeTntGroupBox, "RegimeEdgeTBXButton", QStringLiteral("Edge"), true);
    RegimeFullTBXButton = MakeButton(RegimeTntGroupBox, "RegimeFullTBXButton", QStringLiteral("Full"), true);
    RegimeEffectTBXButton =
        MakeButton(RegimeTntGroupBox, "RegimeEffectTBXButton", QStringLiteral("Effect"), true);
    auto* regimeGroup = new QButtonGroup(RegimeTntGroupBox);
    regimeGroup->setExclusive(true);
    for (QToolButton* button : {RegimeEdgeTBXButton, RegimeFullTBXButton, RegimeEffectTBXButton}) {
        regimeGroup->addButton(button);
        regimeLayout->addWidget(button);
    }
    RegimeEdgeTBXButton->setChecked(true);
    groups->addWidget(RegimeTntGroupBox, 1);

    ActionsTntGroupBox = new QGroupBox(QStringLiteral("Actions"), this);
    ActionsTntGroupBox->setObjectName(QStringLiteral("ActionsTntGroupBox"));
    auto* actions = new QGridLayout(ActionsTntGroupBox);
    actions->setContentsMargins(3, 3, 3, 3);
    actions->setSpacing(2);
    SeparateTBXButton = MakeButton(ActionsTntGroupBox, "SeparateTBXButton", QStringLiteral("Separate"));
    ClearTBXButton = MakeButton(ActionsTntGroupBox, "ClearTBXButton", QStringLiteral("Clear"));
    FillTBXButton = MakeButton(ActionsTntGroupBox, "FillTBXButton", QStringLiteral("Fill"), true);
    FillTBXButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    SwapTBXButton = MakeButton(ActionsTntGroupBox, "SwapTBXButton", QStringLiteral("Swap"));
    StoreTBXButton = MakeButton(ActionsTntGroupBox, "StoreTBXButton", QStringLiteral("Store"));
    StoreTBXButton->setToolTip(QStringLiteral("Add the object in the collection"));
    DoneTBXButton = MakeButton(ActionsTntGroupBox, "DoneTBXButton", QStringLiteral("Done"));
    AbortTBXButton = MakeButton(ActionsTntGroupBox, "AbortTBXButton", QStringLiteral("Abort"), true);
    // Only one set shows at a time: Separate and Clear, Abort while separating, the result's actions in
    // Effect.
    actions->addWidget(SeparateTBXButton, 0, 0);
    actions->addWidget(AbortTBXButton, 0, 0);
    actions->addWidget(SwapTBXButton, 0, 0);
    actions->addWidget(ClearTBXButton, 1, 0);
    actions->addWidget(StoreTBXButton, 1, 0);
    actions->addWidget(FillTBXButton, 2, 0);
    actions->addWidget(DoneTBXButton, 2, 0);
    groups->addWidget(ActionsTntGroupBox, 1);

    AreaTntGroupBox = new QGroupBox(QStringLiteral("Area Selection for"), this);
    AreaTntGroupBox->setObjectName(QStringLiteral("AreaTntGroupBox"));
    auto* areas = new QGridLayout(AreaTntGroupBox);
    areas->setContentsMargins(3, 3, 3, 3);
    areas->setSpacing(2);
    AreaObjectTBXButton = MakeButton(AreaTntGroupBox, "AreaObjectTBXButton", QStringLiteral("Object"), true);
    AreaBGTBXButton = MakeButton(AreaTntGroupBox, "AreaBGTBXButton", QStringLiteral("Backgrnd"), true);
    AreaBGTBXButton->setToolTip(QStringLiteral("Background"));
    AreaCleaningTBXButton =
        MakeButton(AreaTntGroupBox, "AreaCleaningTBXButton", QStringLiteral("Cleaning"), true);
    AreaUnknownTBXButton =
        MakeButton(AreaTntGroupBox, "AreaUnknownTBXButton", QStringLiteral("Object or BG"), true);
    auto* areaGroup = new QButtonGroup(AreaTntGroupBox);
    areaGroup->setExclusive(true);
    const std::pair<QToolButton*, int> tagged[] = {{AreaCleaningTBXButton, TQpSeparationTool::kCleaning},
                                                   {AreaObjectTBXButton, TQpSeparationTool::kObject},
                                                   {AreaBGTBXButton, TQpSeparationTool::kBackground},
                                                   {AreaUnknownTBXButton, TQpSeparationTool::kUnknown}};
    for (const auto& [button, tag] : tagged) {
        button->setProperty("tag", tag);
        areaGroup->addButton(button, tag);
    }
    areas->addWidget(AreaObjectTBXButton, 0, 0);
    areas->addWidget(AreaUnknownTBXButton, 0, 0);
    areas->addWidget(AreaBGTBXButton, 1, 0);
    areas->addWidget(AreaCleaningTBXButton, 2, 0);
    AreaCleaningTBXButton->setChecked(true);
    groups->addWidget(AreaTntGroupBox, 1);
    // The three groups line up at the Regime group's height and never narrower than their captions.
    for (QGroupBox* group : {RegimeTntGroupBox, ActionsTntGroupBox, AreaTntGroupBox})
        group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);

    EffectTntGroupBox = new QGroupBox(QStringLiteral("Effect"), this);
    EffectTntGroupBox->setObjectName(QStringLiteral("EffectTntGroupBox"));
    auto* effect = new QGridLayout(EffectTntGroupBox);
    BackgroundEffectTntRadioGroup = new TQpRadioGroup(EffectTntGroupBox);
    BackgroundEffectTntRadioGroup->setObjectName(QStringLiteral("BackgroundEffectTntRadioGroup"));
    BackgroundEffectTntRadioGroup->setTitle(QStringLiteral("Background"));
    BackgroundEffectTntRadioGroup->SetItems({QStringLiteral("Color"), QStringLiteral("Shadow"),
                                             QStringLiteral("Blur"), QStringLiteral("Momochrome")});
    BackgroundEffectTntRadioGroup->SetItemIndex(0);
    ColorBox = new TQpColorBox(EffectTntGroupBox);
    ColorBox->setObjectName(QStringLiteral("ColorBox"));
    ShadowTntTrackBar = MakeTrackBar(EffectTntGroupBox, "ShadowTntTrackBar", 1, 5, 3);
    BlurRadiusTntTrackBar = MakeTrackBar(EffectTntGroupBox, "BlurRadiusTntTrackBar", 1, 5, 3);
    MonochromeColorBox = new TQpColorBox(EffectTntGroupBox);
    MonochromeColorBox->setObjectName(QStringLiteral("MonochromeColorBox"));
    effect->addWidget(BackgroundEffectTntRadioGroup, 0, 0, 4, 1);
    effect->addWidget(ColorBox, 0, 1);
    effect->addWidget(ShadowTntTrackBar, 1, 1);
    effect->addWidget(BlurRadiusTntTrackBar, 2, 1);
    effect->addWidget(MonochromeColorBox, 3, 1);
    // Each control's value beside it; its caption is the radio item on the same row.
    for (int row = 0; row < 4; ++row) {
        EffectValueLabels[row] = new QLabel(EffectTntGroupBox);
        EffectValueLabels[row]->setObjectName(QStringLiteral("EffectValueLabel%1").arg(row));
        EffectValueLabels[row]->setMinimumWidth(
            QFontMetrics(font()).horizontalAdvance(QStringLiteral("#DDDDDD")));
        effect->addWidget(EffectValueLabels[row], row, 2);
    }
    layout->addWidget(EffectTntGroupBox);
    layout->addStretch(1);

    connect(RegimeEdgeTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.RegimeEdgeTBXButtonClick(); }); });
    connect(RegimeFullTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.RegimeFullTBXButtonClick(); }); });
    connect(RegimeEffectTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.RegimeEffectTBXButtonClick(); }); });
    connect(SeparateTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.SeparateTBXButtonClick(); }); });
    connect(ClearTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.ClearTBXButtonClick(); }); });
    connect(FillTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.FillTBXButtonClick(); }); });
    connect(SwapTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.SwapTBXButtonClick(); }); });
    connect(StoreTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.StoreTBXButtonClick(); }); });
    connect(DoneTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.DoneTBXButtonClick(); }); });
    connect(AbortTBXButton, &QToolButton::clicked, this,
            [this] { Call([](TQpSeparationTool& tool) { tool.AbortTBXButtonClick(); }); });
    connect(areaGroup, &QButtonGroup::idClicked, this,
            [this](int tag) { Call([tag](TQpSeparationTool& tool) { tool.AreaTXButtonClick(tag); }); });
    BackgroundEffectTntRadioGroup->OnClick = [this](int index) {
        Call([index](TQpSeparationTool& tool) { tool.BackgroundEffectTntRadioGroupClick(index); });
    };
    SetFillImage(TQpSeparationTool::kCleaning);
}

QToolButton* TQpSeparationFrame::AreaButton(int area) const
{
    switch (area) {
    case TQpSeparationTool::kCleaning:
        return AreaCleaningTBXButton;
    case TQpSeparationTool::kObject:
        return AreaObjectTBXButton;
    case TQpSeparationTool::kBackground:
        return AreaBGTBXButton;
    case TQpSeparationTool::kUnknown:
        return AreaUnknownTBXButton;
    default:
        return nullptr;
    }
}

void TQpSeparationFrame::SetFillImage(int area)
{
    FillTBXButton->setIcon(QIcon(QStringLiteral(":/icons/fill/%1.png").arg(area)));
}

void TQpSeparationFrame::UpdateControls(const TQpSeparationTool& tool, bool frameEnabled, bool notEditing)
{
    const bool editable = frameEnabled && notEditing;
    // Groups stay enabled with the frame so that Abort can be used while the rest waits.
    for (QWidget* group :
         {static_cast<QWidget*>(RegimeTntGroupBox), static_cast<QWidget*>(ActionsTntGroupBox),
          static_cast<QWidget*>(AreaTntGroupBox), static_cast<QWidget*>(EffectTntGroupBox)})
        group->setEnabled(frameEnabled);
    for (QWidget* control :
         {static_cast<QWidget*>(TitleLabel), static_cast<QWidget*>(SizeLabel),
          static_cast<QWidget*>(SizeTrackBar), static_cast<QWidget*>(RegimeEdgeTBXButton),
          static_cast<QWidget*>(RegimeFullTBXButton), static_cast<QWidget*>(RegimeEffectTBXButton),
          static_cast<QWidget*>(FillTBXButton), static_cast<QWidget*>(AreaObjectTBXButton),
          static_cast<QWidget*>(AreaBGTBXButton), static_cast<QWidget*>(AreaCleaningTBXButton),
          static_cast<QWidget*>(AreaUnknownTBXButton), static_cast<QWidget*>(BackgroundEffectTntRadioGroup),
          static_cast<QWidget*>(ColorBox), static_cast<QWidget*>(ShadowTntTrackBar),
          static_cast<QWidget*>(BlurRadiusTntTrackBar), static_cast<QWidget*>(MonochromeColorBox)})
        control->setEnabled(editable);
    for (int i = 0; i < BackgroundEffectTntRadioGroup->Count(); ++i)
        BackgroundEffectTntRadioGroup->Item(i)->setEnabled(editable);
    SizeLabel->setText(LocalizedString(154, QStringLiteral("Size")) + QStringLiteral(": ") +
                       QString::number(tool.Size()));
    const auto hex = [](std::uint32_t colorValue) {
        // Colour values hold red in the low byte; people read #RRGGBB.
        const std::uint32_t rgb =
            ((colorValue & 0xFF) << 16) | (colorValue & 0xFF00) | ((colorValue >> 16) & 0xFF);
        return QStringLiteral("#%1").arg(rgb, 6, 16, QLatin1Char('0')).toUpper();
    };
    EffectValueLabels[0]->setText(hex(tool.BackgroundColor()));
    EffectValueLabels[1]->setText(QString::number(tool.ShadowLevel()));
    EffectValueLabels[2]->setText(QString::number(tool.BlurLevel()));
    EffectValueLabels[3]->setText(hex(tool.MonochromeColor()));

    const bool effect = tool.Regime() == TQpSeparationTool::kEffect;
    AreaTntGroupBox->setVisible(!effect);
    EffectTntGroupBox->setVisible(effect);
    AreaObjectTBXButton->setVisible(tool.Regime() == TQpSeparationTool::kFull);
    AreaBGTBXButton->setVisible(tool.Regime() == TQpSeparationTool::kFull);
    AreaUnknownTBXButton->setVisible(tool.Regime() == TQpSeparationTool::kEdge);
    AreaCleaningTBXButton->setVisible(true);
    SeparateTBXButton->setVisible(!effect && !tool.Separating());
    ClearTBXButton->setVisible(!effect && !tool.Separating());
    FillTBXButton->setVisible(!effect && !tool.Separating());
    AbortTBXButton->setVisible(!effect && tool.Separating());
    SwapTBXButton->setVisible(effect);
    StoreTBXButton->setVisible(effect);
    DoneTBXButton->setVisible(effect);

    const TMarkedRegion& region = tool.Region();
    const bool shown = region.HasLabel(kLabelResultObject) || region.HasLabel(kLabelResultBackground);
    SeparateTBXButton->setEnabled(editable &&
                                  ((region.HasLabel(kLabelObject) && region.HasLabel(kLabelBackground)) ||
                                   region.HasLabel(kLabelUnknown)));
    ClearTBXButton->setEnabled(editable && !region.IsEmpty());
    AbortTBXButton->setEnabled(tool.Separating());
    SwapTBXButton->setEnabled(editable && shown);
    DoneTBXButton->setEnabled(editable && shown);
    StoreTBXButton->setEnabled(editable && region.HasLabel(kLabelResultObject));
}

void TQpSeparationFrame::Localize()
{
    const QString title = LocalizedString(2838, QStringLiteral("Separation"));
    TitleLabel->setText(title);
    SizeLabel->setText(LocalizedString(154, QStringLiteral("Size")) + QLatin1Char(':'));
    RegimeTntGroupBox->setTitle(LocalizedString(2849, QStringLiteral("Regime")));
    RegimeEdgeTBXButton->setText(LocalizedString(2850, QStringLiteral("Edge")));
    RegimeFullTBXButton->setText(LocalizedString(2851, QStringLiteral("Full")));
    RegimeEffectTBXButton->setText(LocalizedString(2817, QStringLiteral("Effect")));
    ActionsTntGroupBox->setTitle(LocalizedString(2810, QStringLiteral("Actions")));
    SeparateTBXButton->setText(LocalizedString(2842, QStringLiteral("Separate")));
    ClearTBXButton->setText(LocalizedString(30, QStringLiteral("Clear")));
    FillTBXButton->setText(LocalizedString(2852, QStringLiteral("Fill")));
    SwapTBXButton->setText(LocalizedString(2837, QStringLiteral("Swap")));
    StoreTBXButton->setText(LocalizedString(2833, QStringLiteral("Store")));
    StoreTBXButton->setToolTip(LocalizedString(2884, QStringLiteral("Add the object in the collection")));
    DoneTBXButton->setText(LocalizedString(91, QStringLiteral("Done")));
    AbortTBXButton->setText(LocalizedString(2853, QStringLiteral("Abort")));
    AreaTntGroupBox->setTitle(LocalizedString(2803, QStringLiteral("Area Selection for")));
    AreaObjectTBXButton->setText(LocalizedString(2854, QStringLiteral("Object")));
    AreaBGTBXButton->setText(LocalizedString(2855, QStringLiteral("Backgrnd")));
    AreaBGTBXButton->setToolTip(LocalizedString(2840, QStringLiteral("Background")));
    AreaCleaningTBXButton->setText(LocalizedString(2856, QStringLiteral("Cleaning")));
    AreaUnknownTBXButton->setText(LocalizedString(2857, QStringLiteral("Object or BG")));
    EffectTntGroupBox->setTitle(LocalizedString(2817, QStringLiteral("Effect")));
    BackgroundEffectTntRadioGroup->setTitle(LocalizedString(2840, QStringLiteral("Background")));
    BackgroundEffectTntRadioGroup->SetItems(
        {LocalizedString(2012, QStringLiteral("Color")), LocalizedString(2841, QStringLiteral("Shadow")),
         LocalizedString(534, QStringLiteral("Blur")), LocalizedString(2845, QStringLiteral("Monochrome"))});
}

int TQpSeparationFrame::NeededWidth() const
{
    int extra = 0;
    for (const QGroupBox* group : {RegimeTntGroupBox, ActionsTntGroupBox, AreaTntGroupBox}) {
        int shown = 0, all = 0;
        for (const QToolButton* button : group->findChildren<QToolButton*>()) {
            all = std::max(all, button->sizeHint().width());
            if (!button->isHidden())
                shown = std::max(shown, button->sizeHint().width());
        }
        extra += all - shown;
    }
    return minimumSizeHint().width() + extra;
}
