#pragma once
// One setting of a tool as a value with its rules: range and default, the id it is saved under, the
// script-word suffix that sets it and names its control, and the control (a slider or a colour box)
// that shows it and sets it. `Set` applies the rules, shows the value, records the script line while a
// demonstration is recorded and tells the tool. The tool owns its settings; a control it binds stays
// with its frame, and a destroyed control is forgotten.

#include "documents/QpDemoWords.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <initializer_list>

class QSlider;
class QWidget;
class TQpColorBox;
class TQpGraphicsTool;
class TQpSDFReader;
class TQpSDFWriter;

class TQpToolSetting
{
public:
    enum class TKind
    {
        Integer,
        // A colour value, red in the low byte: masked to 24 bits instead of clamped.
        Color
    };
    enum class TOutOfRange
    {
        Clamp,
        Ignore
    };
    enum class TRecording
    {
        // "MouseCurvedMove <word>" first, then "<word> <value>".
        MoveAndLine,
        LineOnly
    };
    enum class TMissing
    {
        // A script word without a numeric value leaves the setting as it is...
        Keep,
        // ...or sets its default.
        Default
    };
    struct TSpec
    {
        const char* Suffix = "";      // upper and lower case as recorded, e.g. "BlurRadius"
        std::uint32_t SettingsId = 0; // 0: not saved
        int Minimum = 0;
        int Maximum = 0;
        int Default = 0;
        TKind Kind = TKind::Integer;
        TOutOfRange OutOfRange = TOutOfRange::Clamp;
        TRecording Recording = TRecording::MoveAndLine;
        TMissing Missing = TMissing::Default;
    };

    TQpToolSetting(TQpGraphicsTool& tool, const TSpec& spec);
    ~TQpToolSetting();
    TQpToolSetting(const TQpToolSetting&) = delete;
    TQpToolSetting& operator=(const TQpToolSetting&) = delete;

    int Value() const { return m_value; }
    std::uint32_t ColorValue() const { return static_cast<std::uint32_t>(m_value); }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    const TSpec& Spec() const { return m_spec; }

    // Applies the kind and range; false when that leaves the value as it is (or ignores it). Otherwise
    // runs OnChanging, stores the value, shows it in the control, records it and runs OnChanged.
    bool Set(long long value);
    // The same rules, shown in the control, but nothing recorded or told: undo and redo bring a
    // setting back this way.
    void Restore(long long value);
    // A new range (min <= max); a value outside it is brought inside without recording.
    void SetRange(int minimum, int maximum);

    // The slider takes the range and value and sets the value when the user moves it.
    void Bind(QSlider* slider);
    // The colour box shows the value and sets it when the user chooses a colour.
    void Bind(TQpColorBox* colorBox);
    QWidget* Control() const;

    // Reads the saved value through Set when the section holds it.
    void Load(TQpSDFReader& reader);
    void Save(TQpSDFWriter& writer) const;

    // The script word "<demo name><suffix> <value>" (upper case) sets the value, a number rounded to the
    // nearest integer; a word without a numeric value is handled as TMissing says.
    TQpDemoWord Word();

    std::function<void()> OnChanging;
    std::function<void()> OnChanged;

private:
    bool Admit(long long& value) const;
    void Show();
    void Record() const;

    TQpGraphicsTool& m_tool;
    TSpec m_spec;
    int m_minimum;
    int m_maximum;
    int m_value;
    QPointer<QSlider> m_slider;
    QPointer<TQpColorBox> m_colorBox;
    QByteArray m_upperSuffix;
};

// Loads or saves the settings in the order given, inside the tool's section.
void LoadToolSettings(TQpSDFReader& reader, std::initializer_list<TQpToolSetting*> settings);
void SaveToolSettings(TQpSDFWriter& writer, std::initializer_list<const TQpToolSetting*> settings);
