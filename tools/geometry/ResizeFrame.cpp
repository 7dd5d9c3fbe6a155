#include "tools/geometry/ResizeFrame.h"

#include "framework/Localizer.h"
#include "imaging/QpPixels.h"
#include "tools/geometry/ResizeTool.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* MakeSizeEdit(QWidget* parent, const char* name)
{
    auto* edit = new QSpinBox(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setRange(1, kMaxImageSide);
    edit->setAccelerated(true);
    return edit;
}

} // namespace

TQpResizeFrame::TQpResizeFrame(TQpResizeTool& tool, QWidget* parent) : TQpFrame(parent), m_tool(&tool)
{
    setObjectName(QStringLiteral("ResizeFrame"));
    TitleLabel = new QLabel(this);
    TitleLabel->setObjectName(QStringLiteral("TitleLabel"));
    NewSizeLabel = new QLabel(this);
    WidthLabel = new QLabel(this);
    WidthEdit = MakeSizeEdit(this, "WidthEdit");
    HeightLabel = new QLabel(this);
    HeightEdit = MakeSizeEdit(this, "HeightEdit");
    ConstrainProportionsCheckBox = new QCheckBox(this);
    ConstrainProportionsCheckBox->setObjectName(QStringLiteral("ConstrainProportionsCheckBox"));
    OkButton = new QPushButton(this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton = new QPushButton(this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* size = new QGridLayout;
    size->addWidget(NewSizeLabel, 0, 0, 1, 2);
    size->addWidget(WidthLabel, 1, 0);
    size->addWidget(WidthEdit, 1, 1);
    size->addWidget(HeightLabel, 2, 0);
    size->addWidget(HeightEdit, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addLayout(size);
    layout->addWidget(ConstrainProportionsCheckBox);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(WidthEdit, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_showing && m_tool)
            m_tool->WidthEditChange(value);
    });
    connect(HeightEdit, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_showing && m_tool)
            m_tool->HeightEditChange(value);
    });
    connect(ConstrainProportionsCheckBox, &QCheckBox::toggled, this, [this](bool value) {
        if (!m_showing && m_tool)
            m_tool->ConstrainProportionsCheckBoxChange(value);
    });
    connect(OkButton, &QPushButton::clicked, this, [this] {
        if (m_tool)
            m_tool->OkButtonClick();
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] {
        if (m_tool)
            m_tool->CancelButtonClick();
    });
    Localize();
}

void TQpResizeFrame::Localize()
{
    TitleLabel->setText(LocalizedString(108, QStringLiteral("Resize")));
    NewSizeLabel->setText(LocalizedString(2027, QStringLiteral("New Size")) + QLatin1Char(':'));
    WidthLabel->setText(LocalizedString(505, QStringLiteral("Width")) + QLatin1Char(':'));
    HeightLabel->setText(LocalizedString(506, QStringLiteral("Height")) + QLatin1Char(':'));
    ConstrainProportionsCheckBox->setText(LocalizedString(2028, QStringLiteral("Constrain Proportions")));
    OkButton->setText(LocalizedString(1, QStringLiteral("Ok")));
    CancelButton->setText(LocalizedString(2, QStringLiteral("Cancel")));
}

void TQpResizeFrame::Show(int width, int height, bool constrain)
{
    m_showing = true;
    WidthEdit->setValue(width);
    HeightEdit->setValue(height);
    ConstrainProportionsCheckBox->setChecked(constrain);
    m_showing = false;
}
