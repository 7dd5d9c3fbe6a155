#include "plugin/PhotoshopFilter.h"

#include "plugin/MessageBox.h"

OSErr TPhotoshopFilter::About(AboutRecord* about)
{
    ShowAbout(about != nullptr ? OwnerWindow(about->platformData) : 0);
    return kResultNoError;
}

OSErr TPhotoshopFilter::Parameters(FilterRecord*)
{
    return kResultNoError;
}

OSErr TPhotoshopFilter::Prepare(FilterRecord*)
{
    return kResultNoError;
}

OSErr TPhotoshopFilter::Start(FilterRecord*)
{
    return kResultNoError;
}

OSErr TPhotoshopFilter::Continue(FilterRecord*)
{
    return kResultNoError;
}

OSErr TPhotoshopFilter::Finish(FilterRecord*)
{
    return kResultNoError;
}

void TPhotoshopFilter::ShowAbout(std::intptr_t owner)
{
    ShowMessageBox(owner, m_aboutText, m_aboutCaption, TMessageIcon::None);
}

OSErr TPhotoshopFilter::Dispatch(std::int16_t selector, void* record)
{
    auto* filterRecord = static_cast<FilterRecord*>(record);
    switch (selector) {
    case kSelectorAbout:
        return About(static_cast<AboutRecord*>(record));
    case kSelectorParameters:
        return Parameters(filterRecord);
    case kSelectorPrepare:
        return Prepare(filterRecord);
    case kSelectorStart:
        return Start(filterRecord);
    case kSelectorContinue:
        return Continue(filterRecord);
    case kSelectorFinish:
        return Finish(filterRecord);
    default:
        return kResultBadParameters;
    }
}

std::intptr_t TPhotoshopFilter::OwnerWindow(const void* platformData)
{
    return platformData != nullptr ? static_cast<const PlatformData*>(platformData)->hwnd : 0;
}
