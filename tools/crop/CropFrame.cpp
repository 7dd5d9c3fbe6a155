#include "tools/crop/CropFrame.h"

#include "framework/Localizer.h"
#include "tools/crop/CropTool.h"

#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <class T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Shown as they stand: they name paper and screen sizes, not words.
const char* const kFotoItems[] = {"1x1 ",
                                  "1x2 (15x30)",
                                  "2x1 (30x15)",
                                  "1x3 (30x90)",
                                  "3x1 (90x30)",
                                  "2x3 (4x6 6x9 10x15 20x30 30x45)",
                                  "3x2 (6x9 9x6 15x10 30x20 45x30)",
                                  "3x4 (9x12 15x20 30x40)",
                                  "4x3 (12x9 20x15 40x30)",
                                  "4x5 (20x25)",
                                  "5x4 (25x20)",
                                  "5x7 (9x13 13x18)",
                                  "7x5 (13x9 18x13)"};
const char* const kScreenItems[] = {"4x3 (1024x768 1152x864 1280x960)",
                                    "5x3 (1280x768)",
                                    "5x4 (1240x1024)",
                                    "12x7 (1024x600)",
                                    "16x9 (1366x768 1600x900 1920x1080)",
                                    "16x10 (1280x800 1440x900 1920x1200)"};

} // namespace

TQpCrop2PlusFrame::TQpCrop2PlusFrame(TQpCrop2PlusTool& tool, QWidget* parent)
    : TQpFrame(parent), m_tool(&tool)
{
    setObjectName(QStringLiteral("Crop2PlusFrame"));
    TitleLabel = Named(new QLabel(this), "TitleLabel");
    QFont title = TitleLabel->font();
    title.setBold(true);
    title.setUnderline(true);
    TitleLabel->setFont(title);
    DescriptionLabel = Named(new QLabel(this), "DescriptionLabel");
    DescriptionLabel->setWordWrap(true);
    SidesRatioTntGroupBox = Named(new QGroupBox(this), "SidesRatioTntGroupBox");
    rbFree = Named(new QRadioButton(SidesRatioTntGroupBox), "rbFree");
    rbFoto = Named(new QRadioButton(SidesRatioTntGroupBox), "rbFoto");
    rbScreen = Named(new QRadioButton(SidesRatioTntGroupBox), "rbScreen");
    rbFree->setChecked(true);
    auto* ratio = new QVBoxLayout(SidesRatioTntGroupBox);
    ratio->addWidget(rbFree);
    ratio->addWidget(rbFoto);
    ratio->addWidget(rbScreen);

    SizePanel = Named(new QWidget(this), "SizePanel");
    WidthLabel = Named(new QLabel(SizePanel), "WidthLabel");
    WidthEdit = Named(new QSpinBox(SizePanel), "WidthEdit");
    HeightLabel = Named(new QLabel(SizePanel), "HeightLabel");
    HeightEdit = Named(new QSpinBox(SizePanel), "HeightEdit");
    for (QSpinBox* edit : {WidthEdit, HeightEdit})
        edit->setRange(1, 65535);
    auto* size = new QGridLayout(SizePanel);
    size->setContentsMargins(0, 0, 0, 0);
    size->addWidget(WidthLabel, 0, 0);
    size->addWidget(WidthEdit, 0, 1);
    size->addWidget(HeightLabel, 1, 0);
    size->addWidget(HeightEdit, 1, 1);

    panelScreen = Named(new QWidget(this), "panelScreen");
    cmbScreen = Named(new QComboBox(panelScreen), "cmbScreen");
    for (const char* item : kScreenItems)
        cmbScreen->addItem(QLatin1String(item));
    (new QVBoxLayout(panelScreen))->addWidget(cmbScreen);
    panelFoto = Named(new QWidget(this), "panelFoto");
    cmbFoto = Named(new QComboBox(panelFoto), "cmbFoto");
    for (const char* item : kFotoItems)
        cmbFoto->addItem(QLatin1String(item));
    (new QVBoxLayout(panelFoto))->addWidget(cmbFoto);
    gbCurrentResolution = Named(new QGroupBox(this), "gbCurrentResolution");
    lblCurrentResolution = Named(new QLabel(gbCurrentResolution), "lblCurrentResolution");
    (new QVBoxLayout(gbCurrentResolution))->addWidget(lblCurrentResolution);

    auto* layout = new QVBoxLayout(this);
    for (QWidget* widget : {static_cast<QWidget*>(TitleLabel), static_cast<QWidget*>(DescriptionLabel),
                            static_cast<QWidget*>(SidesRatioTntGroupBox), SizePanel, panelScreen, panelFoto,
                            static_cast<QWidget*>(gbCurrentResolution)})
        layout->addWidget(widget);
    layout->addStretch(1);

    for (QRadioButton* radio : {rbFree, rbFoto, rbScreen})
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on && m_tool)
                m_tool->SetRatio(RatioKind());
            FollowKind();
        });
    connect(cmbFoto, &QComboBox::currentIndexChanged, this, [this] {
        if (m_tool && rbFoto->isChecked())
            m_tool->SetRatio(1);
    });
    connect(cmbScreen, &QComboBox::currentIndexChanged, this, [this] {
        if (m_tool && rbScreen->isChecked())
            m_tool->SetRatio(2);
    });
    connect(WidthEdit, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_showing && m_tool)
            m_tool->WidthEditChange(value);
    });
    connect(HeightEdit, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_showing && m_tool)
            m_tool->HeightEditChange(value);
    });
    Localize();
    FollowKind();
}

void TQpCrop2PlusFrame::Localize()
{
    TitleLabel->setText(LocalizedString(135, QStringLiteral("Crop")));
    DescriptionLabel->setText(
        LocalizedString(2900, QStringLiteral("Drag a rectangle on the image. Click outside it or press Enter "
                                             "to crop; right-click or press Esc to cancel.")));
    SidesRatioTntGroupBox->setTitle(LocalizedString(2901, QStringLiteral("Sides Ratio")));
    rbFree->setText(LocalizedString(2902, QStringLiteral("Loose")));
    rbFoto->setText(LocalizedString(2903, QStringLiteral("Photo Formats")));
    rbScreen->setText(LocalizedString(2904, QStringLiteral("Screen Formats")));
    WidthLabel->setText(LocalizedString(505, QStringLiteral("Width")) + QLatin1Char(':'));
    HeightLabel->setText(LocalizedString(506, QStringLiteral("Height")) + QLatin1Char(':'));
    FollowKind();
}

int TQpCrop2PlusFrame::RatioKind() const
{
    return rbFoto->isChecked() ? 1 : rbScreen->isChecked() ? 2 : 0;
}

void TQpCrop2PlusFrame::ShowSize(int width, int height)
{
    m_showing = true;
    WidthEdit->setValue(width);
    HeightEdit->setValue(height);
    m_showing = false;
}

void TQpCrop2PlusFrame::FollowKind()
{
    const int kind = RatioKind();
    SizePanel->setVisible(kind == 0);
    panelFoto->setVisible(kind == 1);
    panelScreen->setVisible(kind == 2);
    gbCurrentResolution->setVisible(kind == 2);
    // The screen's own pixels, not the scaled ones the desktop reports.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QSize pixels = screen->size() * screen->devicePixelRatio();
        lblCurrentResolution->setText(LocalizedString(2890, QStringLiteral("Current Resolution")) +
                                      QStringLiteral(": %1x%2").arg(pixels.width()).arg(pixels.height()));
    }
}
