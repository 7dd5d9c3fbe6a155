#include "tools/ToolSetting.h"

#include "core/QpSDF.h"
#include "documents/QpGraphicsTool.h"
#include "framework/ColorBox.h"

#include <QSlider>
#include <algorithm>
#include <limits>

namespace {

constexpr long long kColorMask = 0xFFFFFF;

} // namespace

TQpToolSetting::TQpToolSetting(TQpGraphicsTool& tool, const TSpec& spec)
    : m_tool(tool), m_spec(spec), m_minimum(spec.Minimum), m_maximum(spec.Maximum), m_value(spec.Default),
      // The word table matches upper case; the recorded line keeps the suffix's own case.
      m_upperSuffix(QByteArray(spec.Suffix).toUpper())
{
}

TQpToolSetting::~TQpToolSetting()
{
    // The frame and its controls outlive the tool.
    if (m_slider)
        QObject::disconnect(m_slider, nullptr, &m_tool, nullptr);
    if (m_colorBox)
        m_colorBox->OnSelect = nullptr;
}

bool TQpToolSetting::Admit(long long& value) const
{
    if (m_spec.Kind == TKind::Color)
        value &= kColorMask;
    else if (m_spec.OutOfRange == TOutOfRange::Ignore && (value < m_minimum || value > m_maximum))
        return false;
    else
        value = std::clamp<long long>(value, m_minimum, m_maximum);
    return value != m_value;
}

void TQpToolSetting::Restore(long long value)
{
    if (!Admit(value))
        return;
    m_value = static_cast<int>(value);
    Show();
}

bool TQpToolSetting::Set(long long value)
{
    if (!Admit(value))
        return false;
    if (OnChanging)
        OnChanging();
    m_value = static_cast<int>(value);
    Show();
    Record();
    if (OnChanged)
        OnChanged();
    return true;
}

void TQpToolSetting::SetRange(int minimum, int maximum)
{
    if (minimum > maximum)
        return;
    m_minimum = minimum;
    m_maximum = maximum;
    if (m_slider) {
        m_slider->setRange(minimum, maximum);
        if (maximum / 10 > 0)
            m_slider->setTickInterval(maximum / 10);
    }
    const int clamped = std::clamp(m_value, minimum, maximum);
    if (clamped != m_value) {
        if (OnChanging)
            OnChanging();
        m_value = clamped;
        Show();
        if (OnChanged)
            OnChanged();
    }
}

void TQpToolSetting::Bind(QSlider* slider)
{
    if (m_slider)
        QObject::disconnect(m_slider, nullptr, &m_tool, nullptr);
    m_slider = slider;
    if (!slider)
        return;
    // Set before connecting: narrowing the range moves the position, which is no user's choice.
    slider->setRange(m_minimum, m_maximum);
    slider->setValue(m_value);
    if (m_maximum / 10 > 0)
        slider->setTickInterval(m_maximum / 10);
    QObject::connect(slider, &QSlider::valueChanged, &m_tool, [this](int value) { Set(value); });
}

void TQpToolSetting::Bind(TQpColorBox* colorBox)
{
    if (m_colorBox)
        m_colorBox->OnSelect = nullptr;
    m_colorBox = colorBox;
    if (!colorBox)
        return;
    colorBox->SetColor(ColorValue());
    colorBox->OnSelect = [this](std::uint32_t color) { Set(color); };
}

QWidget* TQpToolSetting::Control() const
{
    if (m_slider)
        return m_slider;
    return m_colorBox;
}

void TQpToolSetting::Show()
{
    // A slider's own signal comes back into Set with the value already stored, and ends there.
    if (m_slider)
        m_slider->setValue(m_value);
    if (m_colorBox)
        m_colorBox->SetColor(ColorValue());
}

void TQpToolSetting::Record() const
{
    IQpDemoPlayer* recorder = m_tool.DemoRecorder();
    if (!recorder || m_tool.DemoName().isEmpty())
        return;
    const QString word = m_tool.DemoName() + QLatin1String(m_spec.Suffix);
    if (m_spec.Recording == TRecording::MoveAndLine)
        recorder->RecordMoveTo(word);
    recorder->RecordLine(word + QLatin1Char(' ') + QString::number(m_value));
}

void TQpToolSetting::Load(TQpSDFReader& reader)
{
    std::int32_t value = 0;
    if (m_spec.SettingsId != 0 && reader.ReadInteger(m_spec.SettingsId, value))
        // A colour is stored as the bits of an unsigned value; a level as a signed one.
        Set(m_spec.Kind == TKind::Color ? static_cast<long long>(static_cast<std::uint32_t>(value))
                                        : static_cast<long long>(value));
}

void TQpToolSetting::Save(TQpSDFWriter& writer) const
{
    if (m_spec.SettingsId != 0)
        writer.WriteInteger(m_spec.SettingsId, m_value);
}

TQpDemoWord TQpToolSetting::Word()
{
    return {m_upperSuffix.constData(),
            [this](const TQpDemoParams& params) {
                if (m_spec.Kind == TKind::Color) {
                    if (!params.empty() || m_spec.Missing == TMissing::Default)
                        Set(DemoColor(params, 0, static_cast<std::uint32_t>(m_spec.Default)));
                    return;
                }
                const std::optional<int> value =
                    DemoInteger(params, 0, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
                if (value)
                    Set(*value);
                else if (m_spec.Missing == TMissing::Default)
                    Set(m_spec.Default);
            },
            Control()};
}

void LoadToolSettings(TQpSDFReader& reader, std::initializer_list<TQpToolSetting*> settings)
{
    for (TQpToolSetting* setting : settings)
        setting->Load(reader);
}

void SaveToolSettings(TQpSDFWriter& writer, std::initializer_list<const TQpToolSetting*> settings)
{
    for (const TQpToolSetting* setting : settings)
        setting->Save(writer);
}
