#include "cutout/BackgroundSettings.h"

#include "cutout/MarkedRegion.h"

void ApplyBackgroundParameters(TMarkedRegion& region, const TBackgroundSettings& settings)
{
    region.SetFillColor(settings.FillColor);
    region.SetShadowLevel(settings.ShadowLevel);
    region.SetBlurLevel(settings.BlurLevel);
    region.SetTintColor(settings.TintColor);
}

void ApplyEffectParameter(TMarkedRegion& region, const TBackgroundSettings& settings)
{
    switch (settings.Effect) {
    case TBackgroundEffect::Color:
        region.SetFillColor(settings.FillColor);
        break;
    case TBackgroundEffect::Shadow:
        region.SetShadowLevel(settings.ShadowLevel);
        break;
    case TBackgroundEffect::Blur:
        region.SetBlurLevel(settings.BlurLevel);
        break;
    case TBackgroundEffect::Monochrome:
        region.SetTintColor(settings.TintColor);
        break;
    }
}
