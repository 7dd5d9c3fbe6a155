#include "core/QpCommandHistory.h"

TQpCommandHistoryList::~TQpCommandHistoryList()
{
    // Newest first, the order in which undoing would have reached them.
    while (!m_states.empty()) {
        m_states.pop_back();
    }
}

void TQpCommandHistoryList::DiscardRedo()
{
    while (m_states.size() > m_position) {
        m_states.pop_back();
    }
}

void TQpCommandHistoryList::Add(std::unique_ptr<TQpCommandState> state)
{
    if (!state) {
        return;
    }
    DiscardRedo();
    m_states.push_back(std::move(state));
    ++m_position;
}

void TQpCommandHistoryList::Undo()
{
    if (!CanUndo()) {
        return;
    }
    --m_position;
    m_states[m_position]->Undo();
}

void TQpCommandHistoryList::Redo()
{
    if (!CanRedo()) {
        return;
    }
    m_states[m_position]->Redo();
    ++m_position;
}
