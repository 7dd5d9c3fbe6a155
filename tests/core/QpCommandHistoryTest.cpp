#include "core/QpCommandHistory.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// Writes every call and its own destruction into a shared log.
class TRecordingState : public TQpCommandState
{
public:
    TRecordingState(std::string name, Log& log, bool failing = false)
        : m_name(std::move(name)), m_log(log), m_failing(failing)
    {
    }
    ~TRecordingState() override { m_log.push_back(m_name + " freed"); }
    void Undo() override
    {
        m_log.push_back(m_name + " undo");
        if (m_failing) {
            throw std::runtime_error("undo failed");
        }
    }
    void Redo() override
    {
        m_log.push_back(m_name + " redo");
        if (m_failing) {
            throw std::runtime_error("redo failed");
        }
    }

private:
    std::string m_name;
    Log& m_log;
    bool m_failing;
};

struct QpCommandHistoryTest : ::testing::Test
{
    std::unique_ptr<TRecordingState> State(const std::string& name, bool failing = false)
    {
        return std::make_unique<TRecordingState>(name, log, failing);
    }
    Log log;
};

TEST_F(QpCommandHistoryTest, AddAfterUndoFreesTheUndoneStates)
{
    TQpCommandHistoryList history;
    auto a = State("A");
    TQpCommandState* stateA = a.get();
    history.Add(std::move(a));
    history.Add(State("B"));
    history.Undo();
    history.Add(State("C"));

    EXPECT_EQ(log, (Log{"B undo", "B freed"}));
    EXPECT_EQ(history.Count(), 2u);
    EXPECT_EQ(history.Position(), 2u);
    EXPECT_FALSE(history.CanRedo());
    history.Undo();
    history.Undo();
    EXPECT_EQ(log, (Log{"B undo", "B freed", "C undo", "A undo"}));
    EXPECT_EQ(history.NextRedoState(), stateA);
}

TEST_F(QpCommandHistoryTest, UndoAndRedoMoveThePositionAndCallTheSameState)
{
    TQpCommandHistoryList history;
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.NextUndoState(), nullptr);
    EXPECT_EQ(history.NextRedoState(), nullptr);

    auto a = State("A");
    TQpCommandState* stateA = a.get();
    history.Add(std::move(a));
    EXPECT_EQ(history.NextUndoState(), stateA);
    history.Undo();
    history.Undo(); // nothing left to undo
    EXPECT_EQ(history.Position(), 0u);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_EQ(history.NextRedoState(), stateA);

    history.Redo();
    history.Redo(); // nothing left to redo
    EXPECT_EQ(history.Position(), 1u);
    EXPECT_EQ(log, (Log{"A undo", "A redo"}));
}

TEST_F(QpCommandHistoryTest, DiscardRedoFreesNewestFirstAndOnlyBeyondThePosition)
{
    TQpCommandHistoryList history;
    history.Add(State("A"));
    history.Add(State("B"));
    history.Add(State("C"));
    history.DiscardRedo(); // position = count: nothing to discard
    EXPECT_EQ(history.Count(), 3u);
    EXPECT_TRUE(log.empty());

    history.Undo();
    history.Undo();
    log.clear();
    history.DiscardRedo();
    EXPECT_EQ(log, (Log{"C freed", "B freed"}));
    EXPECT_EQ(history.Count(), 1u);
    EXPECT_EQ(history.Position(), 1u);

    history.Add(nullptr);
    EXPECT_EQ(history.Count(), 1u);
}

TEST_F(QpCommandHistoryTest, DestroyingTheHistoryFreesEveryStateAlsoBeyondThePosition)
{
    {
        TQpCommandHistoryList history;
        history.Add(State("A"));
        history.Add(State("B"));
        history.Add(State("C"));
        history.Undo();
        log.clear();
    }
    EXPECT_EQ(log, (Log{"C freed", "B freed", "A freed"}));
}

TEST_F(QpCommandHistoryTest, FailedUndoHasMovedThePositionAndFailedRedoHasNot)
{
    TQpCommandHistoryList history;
    history.Add(State("A"));
    history.Add(State("F", true));
    EXPECT_THROW(history.Undo(), std::runtime_error);
    EXPECT_EQ(history.Position(), 1u);
    EXPECT_THROW(history.Redo(), std::runtime_error);
    EXPECT_EQ(history.Position(), 1u);
    EXPECT_TRUE(history.CanRedo());
}

} // namespace
