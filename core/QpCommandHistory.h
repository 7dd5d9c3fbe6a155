#pragma once
// The undo history of one document: a linear list of command states, oldest first, and a position
// that counts the states whose command is in effect. The history owns its states; it knows nothing
// of images, tools or windows.

#include <cstddef>
#include <memory>
#include <vector>

// One completed operation that can put its document back into the state before it and again into
// the state after it. Created after the operation, so the document is in the after state.
class TQpCommandState
{
public:
    virtual ~TQpCommandState() = default;
    virtual void Undo() = 0;
    virtual void Redo() = 0;
};

class TQpCommandHistoryList
{
public:
    TQpCommandHistoryList() = default;
    TQpCommandHistoryList(const TQpCommandHistoryList&) = delete;
    TQpCommandHistoryList& operator=(const TQpCommandHistoryList&) = delete;
    ~TQpCommandHistoryList();

    bool CanUndo() const { return m_position > 0; }
    bool CanRedo() const { return m_position < m_states.size(); }
    TQpCommandState* NextUndoState() const { return CanUndo() ? m_states[m_position - 1].get() : nullptr; }
    TQpCommandState* NextRedoState() const { return CanRedo() ? m_states[m_position].get() : nullptr; }

    // Frees the undone states, newest first, so they can never be redone.
    void DiscardRedo();
    // Discards the redo states and appends the state, which the history then owns. A null state
    // is ignored.
    void Add(std::unique_ptr<TQpCommandState> state);
    // The position moves before the state's Undo and after its Redo, so a state that fails has
    // moved it on Undo and not on Redo.
    void Undo();
    void Redo();

    std::size_t Count() const { return m_states.size(); }
    std::size_t Position() const { return m_position; }

private:
    std::vector<std::unique_ptr<TQpCommandState>> m_states;
    std::size_t m_position = 0;
};
