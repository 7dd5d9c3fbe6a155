#include "framework/MainForm.h"
#include "core/QpSDF.h"
#include "framework/CommonDataModule.h"
#include "framework/FlowToolBar.h"
#include "framework/Localizer.h"
#include "framework/QpApplication.h"
#include "framework/ToolPanelModule.h"
#include "support/QtApplication.h"

#include <QDockWidget>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class MainFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath("Languages");
        WriteLanguage("English.ini",
                      "[Language]\nLangId=1033\nLanguage=English\n[Strings]\n10=File\n176=Tools\n");
        WriteLanguage("Deutsch.ini",
                      "[Language]\nLangId=1031\nLanguage=Deutsch\n[Strings]\n10=Datei\n176=Werkzeuge\n");
        Start();
    }
    void TearDown() override { Stop(); }

    void WriteLanguage(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath("Languages/" + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void Start()
    {
        m_application = std::make_unique<TQpApplication>();
        m_application->SetSettingsFileName(m_dir.filePath("cfg/Velmora.cfg"));
        m_localizer = std::make_unique<TQpLocalizer>(m_dir.path() + "/", 1033);
        m_application->CreateForm(m_form);
        m_application->CreateModule(m_panel);
        m_application->LoadAllSettings();
    }
    void Stop()
    {
        m_application->SaveAllSettings();
        m_application->DestroyComponents();
        m_localizer.reset();
        m_application.reset();
    }
    void Drain()
    {
        for (int i = 0; i < 10; ++i)
            QCoreApplication::sendPostedEvents();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TQpApplication> m_application;
    std::unique_ptr<TQpLocalizer> m_localizer;
    TMainForm* m_form = nullptr;
    TQpToolPanelModule* m_panel = nullptr;
};

TEST_F(MainFormTest, LanguageMenuSwitchesLiveAndIsRestoredAtTheNextStart)
{
    EXPECT_EQ(m_form->FileMenuItem->title(), "File");
    const QList<QAction*> languages = m_form->LanguageMenuItem->actions();
    ASSERT_EQ(languages.size(), 2);
    EXPECT_EQ(languages[0]->text(), "Deutsch"); // files in name order
    languages[0]->trigger();
    EXPECT_EQ(m_form->FileMenuItem->title(), "Datei");
    EXPECT_EQ(m_panel->Panel->windowTitle(), "Werkzeuge");
    EXPECT_TRUE(languages[0]->isChecked());

    Stop();
    Start();
    EXPECT_EQ(m_localizer->CurrentLanguage(), 1031);
    EXPECT_EQ(m_form->FileMenuItem->title(), "Datei");
}

TEST_F(MainFormTest, ToolbarTogglesTakeTheNewCaptionsAfterTheCurrentEvent)
{
    QToolBar* toolbar = m_form->AddToolbar("Standard");
    QAction* toggle = m_form->ToolbarsMenuItem->actions().constLast();
    toolbar->setWindowTitle("Standard (de)");
    m_localizer->SetLanguage(1031);
    EXPECT_EQ(toggle->text(), "Standard");
    Drain();
    EXPECT_EQ(toggle->text(), "Standard (de)");
}

TEST_F(MainFormTest, PlacementRoundTripAndDamagedPlacementsAreRefused)
{
    m_form->setGeometry(40, 50, 700, 500);
    const TMainForm::Placement block = m_form->SavePlacement();
    EXPECT_EQ(block[0], 44);
    EXPECT_EQ(block[8], 1);
    m_form->setGeometry(0, 0, 300, 300);
    ASSERT_TRUE(m_form->RestorePlacement(block));
    EXPECT_EQ(m_form->geometry().size(), QSize(700, 500));

    TMainForm::Placement empty = block;
    empty[36] = empty[28]; // right == left: no width
    empty[37] = empty[29];
    empty[38] = empty[30];
    empty[39] = empty[31];
    EXPECT_FALSE(m_form->RestorePlacement(empty));

    // Far off every screen: moved back onto one.
    TMainForm::Placement away = block;
    auto put = [&](std::size_t offset, std::int32_t v) {
        for (std::size_t i = 0; i < 4; ++i)
            away[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    };
    put(28, 50000);
    put(32, 50000);
    put(36, 50600);
    put(40, 50400);
    ASSERT_TRUE(m_form->RestorePlacement(away));
    EXPECT_LT(m_form->geometry().left(), 10000);
}

TEST_F(MainFormTest, PanelStateRecordIs47BytesAndRestoresTheLeftSide)
{
    m_form->addDockWidget(TMainForm::LeftMultiDock, m_panel->Panel);
    const TQpToolPanelModule::PanelState record = m_panel->SavePanelState();
    EXPECT_EQ(record.size(), 47u);
    EXPECT_EQ(record[0], 47);
    EXPECT_EQ(record[22], 2); // left

    Stop();
    Start();
    EXPECT_EQ(m_form->dockWidgetArea(m_panel->Panel), Qt::LeftDockWidgetArea);
}

TEST_F(MainFormTest, UnknownDockSideKeepsTheDefaultDock)
{
    TQpToolPanelModule::PanelState record = m_panel->SavePanelState();
    record[22] = 9;
    m_panel->RestorePanelState(record);
    EXPECT_EQ(m_form->dockWidgetArea(m_panel->Panel), Qt::RightDockWidgetArea);
}

TEST_F(MainFormTest, PanelWidthOnlyGrows)
{
    m_panel->SetPanelWidth(272);
    m_panel->SetPanelWidth(264);
    EXPECT_EQ(m_panel->PanelWidth(), 272);
    EXPECT_EQ(m_panel->Panel->widget()->minimumWidth(), 272);
}

TEST_F(MainFormTest, MenuItemsAndButtonsInsertBeforeTheirNeighbour)
{
    QAction* exit = m_form->ExitMenuItem;
    QAction* open = m_form->AddMenuItem("Open", QKeySequence::Open, m_form->FileMenuSeparator,
                                        m_form->FileMenuItem, -1, nullptr);
    const QList<QAction*> items = m_form->FileMenuItem->actions();
    EXPECT_EQ(items.indexOf(open), 0);
    EXPECT_EQ(items.indexOf(exit), 2);
    // An insert-before item that is not in the parent appends.
    QAction* last = m_form->AddMenuItem("Last", {}, m_form->HelpMenuItem->menuAction(), m_form->FileMenuItem,
                                        -1, nullptr);
    EXPECT_EQ(m_form->FileMenuItem->actions().constLast(), last);

    QAction* b = m_form->AddToolbarButton(m_panel->Toolbar, nullptr, "B", -1, nullptr);
    QAction* a = m_form->AddToolbarButton(m_panel->Toolbar, b, "A", -1, nullptr);
    EXPECT_EQ(m_panel->Toolbar->actions().indexOf(a), 0);
    EXPECT_EQ(b->toolTip(), "B");
    EXPECT_NE(m_panel->Toolbar->ButtonFor(a), nullptr);
}

TEST_F(MainFormTest, WideSeparatorStartsANewRowOfToolButtons)
{
    TQpFlowToolBar* bar = m_panel->Toolbar;
    bar->resize(200, 40);
    QAction* first = m_form->AddToolbarButton(bar, nullptr, "1", -1, nullptr);
    m_form->AddSeparator(bar, nullptr, 1000);
    QAction* second = m_form->AddToolbarButton(bar, nullptr, "2", -1, nullptr);
    bar->resize(200, bar->heightForWidth(200));
    EXPECT_EQ(bar->ButtonFor(first)->y(), 0);
    EXPECT_GT(bar->ButtonFor(second)->y(), 0);
    EXPECT_EQ(bar->ButtonFor(second)->x(), 0);
}

TEST_F(MainFormTest, DropOpensOnlyTheFirstExistingFile)
{
    QStringList opened;
    m_form->FileDropHandler = [&](const QString& name) { opened << name; };
    QFile a(m_dir.filePath("a.png"));
    ASSERT_TRUE(a.open(QIODevice::WriteOnly));
    a.close();
    m_form->DropFiles(
        {QUrl::fromLocalFile(m_dir.filePath("a.png")), QUrl::fromLocalFile(m_dir.filePath("b.png"))});
    EXPECT_EQ(opened, QStringList{m_dir.filePath("a.png")});
    m_form->DropFiles({QUrl::fromLocalFile(m_dir.filePath("missing.png"))});
    EXPECT_EQ(opened.size(), 1);
}

} // namespace

namespace {

TEST(CommonDataModuleTest, ToolbarImagesSitAtTheirIndices)
{
    TestApplication();
    TQpApplication application;
    TCommonDataModule* module = nullptr;
    application.CreateForm(module);
    // Zoom in, zoom out, actual size and best fit are the view commands' images.
    for (int index : {10, 11, 12, 13, 71, 83})
        EXPECT_FALSE(module->ToolbarImages.Icon(index).isNull()) << index;
    EXPECT_TRUE(module->ToolbarImages.Icon(3).isNull());
    EXPECT_EQ(module->ToolbarImages.ImageSize(), QSize(24, 24));
}

} // namespace
