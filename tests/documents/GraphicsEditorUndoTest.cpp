// The image editor's edit sessions and undo steps with its tools, on real photographs, offscreen.

#include "GraphicsEditorTestSupport.h"

namespace {

using graphicstest::GraphicsEditorTest;
using graphicstest::Photo;
using graphicstest::Snapshot;

TEST_F(GraphicsEditorTest, OneStrokeIsOneUndoStepThatRestoresExactPixels)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    const std::vector<std::uint8_t> before = Snapshot(*document.CurrentPixels());
    Editor->SetActiveTool(Brush);

    Brush->Fill(view, {10, 20, 40, 30}, 1, 2, 3);
    Brush->Fill(view, {30, 25, 50, 60}, 1, 2, 3);
    // While the session runs there is nothing to undo or redo.
    EXPECT_FALSE(Editor->CanUndo());
    EXPECT_FALSE(Editor->CanRedo());
    Brush->EndDocumentEdit();
    const std::vector<std::uint8_t> after = Snapshot(*document.CurrentPixels());
    ASSERT_EQ(document.History().Count(), 1u);
    EXPECT_TRUE(Editor->CanUndo());
    EXPECT_FALSE(document.Unmodified());

    // The step holds the union (10, 20)-(50, 60) twice: 40 pixels a row, stride 120, 40 rows.
    auto* state = dynamic_cast<TQpGraphicsCommandState*>(document.History().NextUndoState());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->Rect(), (TQpRect{10, 20, 50, 60}));
    EXPECT_EQ(state->PixelBytes(), 2u * 120u * 40u);

    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);
    EXPECT_TRUE(document.Unmodified());
    EXPECT_EQ(Editor->ActiveTool(), Brush);
    Editor->RedoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), after);
    EXPECT_FALSE(document.Unmodified());

    // A second stroke is its own step; undoing it leaves the first in place.
    Brush->Fill(view, {200, 200, 210, 210}, 9, 9, 9);
    Brush->EndDocumentEdit();
    EXPECT_EQ(document.History().Count(), 2u);
    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), after);
    // The undo base follows the image exactly, so the next stroke records the right "before".
    EXPECT_EQ(Snapshot(document.UndoBase()), after);
}

TEST_F(GraphicsEditorTest, FirstStrokeGivesTheOriginalAndTheUndoBaseTheirOwnPixels)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    EXPECT_TRUE(document.CopiesShared());
    const std::vector<std::uint8_t> before = Snapshot(*document.CurrentPixels());
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {10, 20, 40, 30}, 1, 2, 3);
    EXPECT_FALSE(document.CopiesShared());
    // While the stroke runs, the tool sees the loaded pixels in both.
    EXPECT_EQ(Snapshot(*Brush->OriginalPixels()), before);
    EXPECT_EQ(Snapshot(*Brush->UndoBase()), before);
    Brush->CancelDocumentEdit();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);

    Brush->Fill(view, {10, 20, 40, 30}, 1, 2, 3);
    Brush->EndDocumentEdit();
    EXPECT_EQ(Snapshot(*document.OriginalPixels()), before);
    Editor->UndoCommand();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);
}

TEST_F(GraphicsEditorTest, CancelRestoresPixelsAndEmptyCommitAddsNothing)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    const std::vector<std::uint8_t> before = Snapshot(*document.CurrentPixels());
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {0, 0, 600, 400}, 7, 7, 7);
    Brush->CancelDocumentEdit();
    EXPECT_EQ(Snapshot(*document.CurrentPixels()), before);
    EXPECT_EQ(document.History().Count(), 0u);
    EXPECT_FALSE(document.EditSessionActive());

    Brush->BeginDocumentEdit(view);
    Brush->AddDirtyRect({-50, -50, -10, -10}, false); // outside the image
    Brush->EndDocumentEdit();
    EXPECT_EQ(document.History().Count(), 0u);
    EXPECT_TRUE(document.Unmodified());
}

TEST_F(GraphicsEditorTest, SessionOfAnotherToolCommitsTheFirstAndExclusiveSessionsLockTools)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    TQpGraphicsDocument& document = view->Document();
    Editor->SetActiveTool(Brush);
    Brush->Fill(view, {5, 5, 15, 15}, 1, 1, 1);
    Stamp->Fill(view, {100, 100, 110, 110}, 2, 2, 2);
    ASSERT_EQ(document.History().Count(), 1u);
    EXPECT_EQ(static_cast<TQpGraphicsCommandState*>(document.History().NextUndoState())->Tool(), Brush);
    EXPECT_EQ(Brush->Document(), nullptr);

    // The stamp's session is exclusive: nothing else may be activated until it ends.
    EXPECT_FALSE(Editor->CanActivateTool(Brush));
    EXPECT_FALSE(Editor->CanActivateTool(QpScrollTool));
    EXPECT_TRUE(Editor->CanActivateTool(Stamp));
    Stamp->EndDocumentEdit();
    EXPECT_TRUE(Editor->CanActivateTool(Brush));
    EXPECT_EQ(document.History().Count(), 2u);

    Editor->LockTool();
    EXPECT_FALSE(Editor->CanActivateTool(Stamp));
    EXPECT_TRUE(Editor->CanActivateTool(Brush));
    Editor->UnlockTool();
}

TEST_F(GraphicsEditorTest, ToolControlsFollowActivationAndTheWordActivatesAHiddenTool)
{
    // With a tool active before any document, the new view's control is active at once.
    Editor->SetActiveTool(Brush);
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    ASSERT_EQ(Brush->ControlCount(), 1);
    EXPECT_TRUE(Brush->Controls(0)->Active());
    EXPECT_FALSE(Stamp->Controls(0)->Active());
    EXPECT_EQ(Brush->Controls(1), nullptr);

    Stamp->SetToolVisible(false);
    bool handled = false;
    Editor->DemoCommand(nullptr, QStringLiteral("STAMP"), handled, nullptr, {});
    EXPECT_FALSE(handled); // the editor leaves tool words alone
    Stamp->DemoCommand(nullptr, QStringLiteral("STAMP"), handled, nullptr, {});
    EXPECT_TRUE(handled);
    EXPECT_EQ(Editor->ActiveTool(), Stamp);
    EXPECT_EQ(Editor->PreviousTool(), Brush);
    EXPECT_TRUE(Stamp->Controls(0)->Active());
    EXPECT_FALSE(Brush->Controls(0)->Active());
}

// A step that asks the editor to go on with the next one, as the cut-out steps do.
class TRepeatingState : public TQpCommandState
{
public:
    TRepeatingState(std::vector<int>& log, int id, bool repeat) : m_log(log), m_id(id), m_repeat(repeat) {}
    void Undo() override { Step(-m_id); }
    void Redo() override { Step(m_id); }

private:
    void Step(int entry)
    {
        m_log.push_back(entry);
        if (m_repeat)
            QpGraphicsEditor->RepeatFlag = true;
    }
    std::vector<int>& m_log;
    int m_id;
    bool m_repeat;
};

TEST_F(GraphicsEditorTest, UndoGoesOnWhileStepsAskForItWithTheToolAwayDuringEachPass)
{
    TQpGraphicsView* view = OpenInView("coffee.png");
    if (!view)
        GTEST_SKIP() << "photo missing";
    std::vector<int> log;
    TQpGraphicsDocument& document = view->Document();
    document.AddCommand(std::make_unique<TRepeatingState>(log, 1, false));
    document.AddCommand(std::make_unique<TRepeatingState>(log, 2, false));
    document.AddCommand(std::make_unique<TRepeatingState>(log, 3, true));
    document.AddCommand(std::make_unique<TRepeatingState>(log, 4, true));
    Editor->SetActiveTool(Brush);

    Editor->UndoCommand();
    // 4 and 3 ask for more; 2 does not, so 1 stays.
    EXPECT_EQ(log, (std::vector<int>{-4, -3, -2}));
    EXPECT_EQ(document.History().Position(), 1u);
    EXPECT_EQ(Editor->ActiveTool(), Brush);
    // The tool was set aside for each pass and brought back: the last switch was from no tool to it.
    EXPECT_EQ(Editor->PreviousTool(), nullptr);
    EXPECT_TRUE(Brush->Active());

    log.clear();
    Editor->RedoCommand();
    EXPECT_EQ(log, (std::vector<int>{2}));
    Editor->RedoCommand();
    EXPECT_EQ(log, (std::vector<int>{2, 3, 4}));
    EXPECT_FALSE(Editor->CanRedo());
}

// A tool with a button and an option frame holding one check box.
class TPanelTool : public TQpGraphicsTool
{
public:
    TPanelTool()
    {
        auto frame = std::make_unique<TQpFrame>();
        Option = new QCheckBox(QStringLiteral("Option"), frame.get());
        frame->Connect();
        CreateToolButton(QStringLiteral("Panel"), std::move(frame));
    }
    QCheckBox* Option = nullptr;
};

TEST_F(GraphicsEditorTest, ToolButtonAndOptionFrameFollowTheActiveToolAndTheLock)
{
    TQpToolPanelModule* panel = nullptr;
    m_application->CreateModule(panel);
    TPanelTool* tool = nullptr;
    m_application->CreateModule(tool);
    ASSERT_NE(tool->Button, nullptr);
    ASSERT_NE(tool->OptionFrame, nullptr);
    EXPECT_TRUE(panel->Toolbar->actions().contains(tool->Button));
    EXPECT_EQ(tool->Button->text(), "Panel");

    // No document: nothing can be activated.
    tool->UpdateControls();
    EXPECT_FALSE(tool->Button->isEnabled());
    EXPECT_FALSE(tool->Option->isEnabled());
    if (!Open(Photo("coffee.png")))
        GTEST_SKIP() << "photo missing";
    tool->UpdateControls();
    EXPECT_TRUE(tool->Button->isEnabled());
    EXPECT_FALSE(tool->Button->isChecked());
    EXPECT_FALSE(tool->Option->isEnabled()) << "options only for the active tool";

    tool->Button->trigger();
    tool->UpdateControls();
    EXPECT_EQ(Editor->ActiveTool(), tool);
    EXPECT_TRUE(tool->Button->isChecked());
    EXPECT_TRUE(tool->Option->isEnabled());
    EXPECT_TRUE(tool->OptionFrame->isVisibleTo(panel->FrameHost()));

    Editor->SetActiveTool(Brush);
    Editor->LockTool();
    tool->UpdateControls();
    EXPECT_FALSE(tool->Button->isEnabled());
    EXPECT_FALSE(tool->OptionFrame->isVisibleTo(panel->FrameHost()));
    // The script word has no disabled button in its way, and must not get past the lock either.
    bool handled = false;
    tool->DemoCommand(nullptr, tool->DemoName().toUpper(), handled, nullptr, {});
    EXPECT_EQ(Editor->ActiveTool(), Brush);
    Editor->UnlockTool();

    tool->SetToolVisible(false);
    EXPECT_FALSE(tool->Button->isVisible());
}

} // namespace
