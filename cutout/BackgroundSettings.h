#pragma once
// What replaces the background of a cut-out: the effect and the parameters of all four effects. One
// value shared by the separation tool, its undo steps and velmora-cli, so that each sets the region
// the same way.

#include "cutout/SeparationRun.h"

#include <cstdint>

class TMarkedRegion;

struct TBackgroundSettings
{
    TBackgroundEffect Effect = TBackgroundEffect::Color;
    std::uint32_t FillColor = 0xFFFFFF; // colour values, red in the low byte
    int ShadowLevel = 3;                // 1..5
    int BlurLevel = 3;                  // 1..5
    std::uint32_t TintColor = 0xFFFFFF;

    friend bool operator==(const TBackgroundSettings&, const TBackgroundSettings&) = default;
};

// Every effect's parameter into the region; the effect itself is drawn when the result is shown.
void ApplyBackgroundParameters(TMarkedRegion& region, const TBackgroundSettings& settings);
// Only the parameter of `settings.Effect`, as undoing a change of one parameter needs it.
void ApplyEffectParameter(TMarkedRegion& region, const TBackgroundSettings& settings);
