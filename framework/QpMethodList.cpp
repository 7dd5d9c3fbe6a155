#include "framework/QpMethodList.h"

int TQpMethodList::Add(TQpMethod method)
{
    m_items.push_back(method);
    return Count() - 1;
}

int TQpMethodList::Remove(TQpMethod method)
{
    for (int i = Count() - 1; i >= 0; --i) {
        if (m_items[static_cast<std::size_t>(i)] == method) {
            Delete(i);
            return i;
        }
    }
    return -1;
}

void TQpMethodList::Delete(int index)
{
    if (index >= 0 && index < Count())
        m_items.erase(m_items.begin() + index);
}

void TQpMethodList::CallAll() const
{
    for (int i = 0; i < Count(); ++i) {
        const TQpMethod method = m_items[static_cast<std::size_t>(i)];
        method();
    }
}
