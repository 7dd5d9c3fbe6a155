#include "documents/QpJPEGOptionsForm.h"

#include "framework/Localizer.h"
#include "framework/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

namespace {

// A whole number from 0 to 100 in the trimmed text.
bool ParseQuality(const QString& text, int& quality)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 100)
        return false;
    quality = value;
    return true;
}

} // namespace

TQpJPEGOptionsForm::TQpJPEGOptionsForm(QWidget* parent) : TQpFormOf<QDialog>(false, parent)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QualityLabel = new QLabel(this);
    QualityEdit = new QLineEdit(this);
    QualityEdit->setMaxLength(3);
    QualityComboBox = new QComboBox(this);
    for (int i = 0; i < 5; ++i)
        QualityComboBox->addItem(QString());
    QualityTrackBar = new QSlider(Qt::Horizontal, this);
    QualityTrackBar->setRange(0, 100);
    QualityTrackBar->setTickInterval(5);
    QualityTrackBar->setTickPosition(QSlider::TicksBelow);
    SmallFileLabel = new QLabel(this);
    LargeFileLabel = new QLabel(this);
    DisplayCheckbox = new QCheckBox(this);
    DisplayCheckbox->setVisible(false);
    KeepOwnCheckbox = new QCheckBox(this);
    KeepOwnCheckbox->setVisible(false);
    OkButton = new QPushButton(this);
    OkButton->setDefault(true);
    CancelButton = new QPushButton(this);

    auto* top = new QHBoxLayout;
    top->addWidget(QualityLabel);
    top->addWidget(QualityEdit);
    top->addWidget(QualityComboBox, 1);
    auto* ends = new QHBoxLayout;
    ends->addWidget(SmallFileLabel);
    ends->addStretch(1);
    ends->addWidget(LargeFileLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(KeepOwnCheckbox);
    layout->addLayout(top);
    layout->addWidget(QualityTrackBar);
    layout->addLayout(ends);
    layout->addWidget(DisplayCheckbox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(QualityEdit, &QLineEdit::textChanged, this, [this] { QualityEditChange(); });
    connect(QualityTrackBar, &QSlider::valueChanged, this, [this] { QualityTrackBarChange(); });
    connect(QualityComboBox, &QComboBox::currentIndexChanged, this, [this] { QualityComboBoxChange(); });
    connect(KeepOwnCheckbox, &QCheckBox::toggled, this, [this] { KeepOwnChange(); });
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    Localize();
    SetQuality(80);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TQpJPEGOptionsForm::~TQpJPEGOptionsForm() = default;

void TQpJPEGOptionsForm::Localize()
{
    setWindowTitle(LocalizedString(205, QStringLiteral("JPEG Options")));
    QualityLabel->setText(LocalizedString(207, QStringLiteral("Quality")) + QStringLiteral(":"));
    DisplayCheckbox->setText(LocalizedString(206, QStringLiteral("Always show this dialog")));
    KeepOwnCheckbox->setText(LocalizedString(
        4013, QStringLiteral("Keep the photo's own compression (unchanged parts stay exact)")));
    SmallFileLabel->setText(LocalizedString(213, QStringLiteral("Smaller file")));
    LargeFileLabel->setText(LocalizedString(214, QStringLiteral("Better quality")));
    OkButton->setText(LocalizedString(1, QStringLiteral("OK")));
    CancelButton->setText(LocalizedString(2, QStringLiteral("Cancel")));
    static const char* const kNames[5] = {"Low", "Medium", "High", "Very High", "Maximum"};
    for (int i = 0; i < 5; ++i)
        QualityComboBox->setItemText(i, LocalizedString(208 + i, QString::fromLatin1(kNames[i])));
}

int TQpJPEGOptionsForm::PresetIndex(int quality)
{
    int index = 0;
    for (int i = 0; i < 5; ++i)
        if (kPresets[i] <= quality)
            index = i;
    return index;
}

void TQpJPEGOptionsForm::SetQuality(int quality)
{
    quality = std::clamp(quality, 0, 100);
    m_changing = true;
    QualityEdit->setText(QString::number(quality));
    QualityTrackBar->setValue(quality);
    QualityComboBox->setCurrentIndex(PresetIndex(quality));
    m_changing = false;
}

int TQpJPEGOptionsForm::Quality() const
{
    return QualityTrackBar->value();
}

void TQpJPEGOptionsForm::QualityEditChange()
{
    int quality = 0;
    if (m_changing || !ParseQuality(QualityEdit->text(), quality))
        return;
    m_changing = true;
    QualityTrackBar->setValue(quality);
    QualityComboBox->setCurrentIndex(PresetIndex(quality));
    m_changing = false;
}

void TQpJPEGOptionsForm::QualityTrackBarChange()
{
    if (m_changing)
        return;
    m_changing = true;
    QualityEdit->setText(QString::number(QualityTrackBar->value()));
    QualityComboBox->setCurrentIndex(PresetIndex(QualityTrackBar->value()));
    m_changing = false;
}

void TQpJPEGOptionsForm::QualityComboBoxChange()
{
    const int index = QualityComboBox->currentIndex();
    if (m_changing || index < 0 || index > 4)
        return;
    m_changing = true;
    QualityTrackBar->setValue(kPresets[index]);
    QualityEdit->setText(QString::number(kPresets[index]));
    m_changing = false;
}

void TQpJPEGOptionsForm::OkButtonClick()
{
    int quality = 0;
    if (ParseQuality(QualityEdit->text(), quality)) {
        QualityTrackBar->setValue(quality);
        accept();
        return;
    }
    framework::ShowMessageBox(
        this,
        LocalizedString(216, QStringLiteral("Please enter a whole number from 0 to 100 for the quality.")),
        windowTitle(), framework::kMbIconStop);
    // Numbers out of range are pulled to the nearest end; text that is no number keeps the slider's value.
    bool ok = false;
    const qlonglong typed = QualityEdit->text().trimmed().toLongLong(&ok);
    SetQuality(ok ? static_cast<int>(std::clamp<qlonglong>(typed, 0, 100)) : QualityTrackBar->value());
}

void TQpJPEGOptionsForm::OfferKeepOwn(bool checked)
{
    KeepOwnCheckbox->setVisible(true);
    KeepOwnCheckbox->setChecked(checked);
    KeepOwnChange();
    adjustSize();
}

bool TQpJPEGOptionsForm::KeepOwn() const
{
    return !KeepOwnCheckbox->isHidden() && KeepOwnCheckbox->isChecked();
}

void TQpJPEGOptionsForm::KeepOwnChange()
{
    const bool choose = !KeepOwn();
    QualityEdit->setEnabled(choose);
    QualityComboBox->setEnabled(choose);
    QualityTrackBar->setEnabled(choose);
}
