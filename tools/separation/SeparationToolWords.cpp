// The separation tool's script words: one table gives the actions DemoCommand runs and the frame
// components DemoPoint names.

#include "tools/separation/SeparationFrame.h"
#include "tools/separation/SeparationTool.h"

#include <QRadioButton>

TQpDemoWords TQpSeparationTool::Words()
{
    TQpSeparationFrame* frame = m_frame;
    const auto run = [](auto action) { return [action](const TQpDemoParams&) { action(); }; };
    TQpDemoWords words = {
        {"REGIMEEDGE", run([this] { RegimeEdgeTBXButtonClick(); }),
         frame ? frame->RegimeEdgeTBXButton : nullptr},
        {"REGIMEFULL", run([this] { RegimeFullTBXButtonClick(); }),
         frame ? frame->RegimeFullTBXButton : nullptr},
        {"REGIMEEFFECT", run([this] { RegimeEffectTBXButtonClick(); }),
         frame ? frame->RegimeEffectTBXButton : nullptr},
        {"SEPARATE", run([this] { Separate(); }), frame ? frame->SeparateTBXButton : nullptr},
        {"CLEAR", run([this] { Clear(); }), frame ? frame->ClearTBXButton : nullptr},
        {"SWAP", run([this] { Swap(); }), frame ? frame->SwapTBXButton : nullptr},
        {"STORE", run([this] { Store(); }), frame ? frame->StoreTBXButton : nullptr},
        {"DONE", run([this] { Done(); }), frame ? frame->DoneTBXButton : nullptr},
        {"FILL", [this](const TQpDemoParams& params) { SetFillMode(DemoBoolean(params, 0, false)); },
         frame ? frame->FillTBXButton : nullptr},
        {"CLEARING", run([this] { AreaTXButtonClick(kCleaning); }),
         frame ? frame->AreaCleaningTBXButton : nullptr},
        {"OBJECT", run([this] { AreaTXButtonClick(kObject); }), frame ? frame->AreaObjectTBXButton : nullptr},
        {"BACKGROUND", run([this] { AreaTXButtonClick(kBackground); }),
         frame ? frame->AreaBGTBXButton : nullptr},
        {"UNKNOWN", run([this] { AreaTXButtonClick(kUnknown); }),
         frame ? frame->AreaUnknownTBXButton : nullptr},
        m_backgroundColor.Word(),
        m_blurLevel.Word(),
        m_shadowLevel.Word(),
        m_monochromeColor.Word(),
    };
    // The effect is chosen with a radio group, which the setting does not bind.
    TQpDemoWord effect = m_backgroundEffect.Word();
    effect.Target = frame ? frame->BackgroundEffectTntRadioGroup : nullptr;
    words.push_back(effect);
    return words;
}

void TQpSeparationTool::DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                                    TQpDemoScriptUserAction* action, const TQpDemoParams& params)
{
    if (RunDemoWord(Words(), DemoName().toUpper(), word, params)) {
        handled = true;
        return;
    }
    TQpBrushTool::DemoCommand(player, word, handled, action, params);
}

void TQpSeparationTool::DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled,
                                  QPoint& point)
{
    const QString name = DemoTargetName(params);
    const QString prefix = DemoName().toUpper();
    // "SeparationBackgroundEffect", n names the n-th effect's radio button.
    if (m_frame && name == prefix + QLatin1String("BACKGROUNDEFFECT") && params.size() > 1) {
        if (const std::optional<int> index = DemoInteger(params, 1, 0, 3))
            if (QRadioButton* item = m_frame->BackgroundEffectTntRadioGroup->Item(*index)) {
                handled = ScreenCentre(item, point);
                return;
            }
    }
    if (DemoWordPoint(Words(), prefix, params, point)) {
        handled = true;
        return;
    }
    TQpBrushTool::DemoPoint(player, params, handled, point);
}
