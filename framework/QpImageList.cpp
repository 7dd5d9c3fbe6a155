#include "framework/QpImageList.h"

TQpImageList* ToolbarImageList = nullptr;

int TQpImageList::Add(const QIcon& icon)
{
    m_icons.push_back(icon);
    return Count() - 1;
}

void TQpImageList::Set(int index, const QIcon& icon)
{
    if (index < 0)
        return;
    if (index >= Count())
        m_icons.resize(static_cast<std::size_t>(index) + 1);
    m_icons[static_cast<std::size_t>(index)] = icon;
}

QIcon TQpImageList::Icon(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return m_icons[static_cast<std::size_t>(index)];
}
