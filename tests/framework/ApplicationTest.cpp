#include "core/QpSDF.h"
#include "framework/Localizer.h"
#include "framework/QpApplication.h"
#include "framework/QpModule.h"
#include "support/FullDisk.h"
#include "support/QtApplication.h"

#include "framework/MessageBox.h"
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

struct Recorder
{
    void A() { g_calls.push_back("A"); }
    void B() { g_calls.push_back("B"); }
};

class Window : public TQpFormOf<QMainWindow>
{
public:
    Window() : TQpFormOf<QMainWindow>(true) {}
    int deferredEvents = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == kDeferredCallEvent)
            ++deferredEvents;
        return TQpFormOf<QMainWindow>::event(e);
    }
};

// A module that records its life cycle and writes one value when asked to.
class LifeModule : public TQpModuleWithControls
{
public:
    explicit LifeModule(std::string name, bool writes = false) : m_name(std::move(name)), m_writes(writes) {}
    void Localize() override { g_calls.push_back(m_name + ".Localize"); }
    void UpdateControls() override { g_calls.push_back(m_name + ".Update"); }
    void Connect() override
    {
        g_calls.push_back(m_name + ".Connect");
        TQpModuleWithControls::Connect();
    }
    void Started() override { g_calls.push_back(m_name + ".Started"); }
    void LoadSettings(TQpSDFReader& reader) override
    {
        g_calls.push_back(m_name + ".Load");
        if (reader.EnterNode(1, kGuid)) {
            reader.ReadInteger(1, loaded);
            reader.LeaveNode();
        }
    }
    void SaveSettings(TQpSDFWriter& writer) override
    {
        if (!m_writes)
            return;
        writer.WriteBeginNode(1, kGuid);
        writer.WriteInteger(1, value);
        writer.WriteEndNode();
    }
    std::int32_t value = 0;
    std::int32_t loaded = -1;
    static constexpr TQpGuid kGuid = *TQpGuid::Parse("{11111111-2222-3333-4444-555555555555}");

private:
    std::string m_name;
    bool m_writes;
};

class ApplicationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        g_calls.clear();
        m_application = std::make_unique<TQpApplication>();
        ASSERT_TRUE(m_dir.isValid());
        m_application->SetSettingsFileName(m_dir.filePath("Velmora/Velmora.cfg"));
    }
    void TearDown() override
    {
        m_application.reset();
        QCoreApplication::processEvents();
    }
    void Drain()
    {
        for (int i = 0; i < 20; ++i)
            QCoreApplication::sendPostedEvents();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TQpApplication> m_application;
};

TEST(MethodListTest, RemoveDeletesTheLaterOfTwoEqualPairsAndReportsItsIndex)
{
    Recorder r;
    TQpMethodList list;
    list.Add(MakeMethod<&Recorder::A>(&r));
    list.Add(MakeMethod<&Recorder::B>(&r));
    list.Add(MakeMethod<&Recorder::A>(&r));
    EXPECT_EQ(list.Remove(MakeMethod<&Recorder::A>(&r)), 2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Remove(MakeMethod<&Recorder::A>(&r)), 0);
    Recorder other;
    EXPECT_EQ(list.Remove(MakeMethod<&Recorder::B>(&other)), -1);
}

TEST(MethodListTest, HandlerRemovingItselfAndOthersDuringAPassIsSafe)
{
    TQpMethodList list;
    struct Victim
    {
        TQpMethodList* list;
        int calls = 0;
        void Run()
        {
            ++calls;
            list->Clear();
        }
    } victim{&list};
    list.Add(MakeMethod<&Victim::Run>(&victim));
    list.Add(MakeMethod<&Victim::Run>(&victim));
    list.Add(MakeMethod<&Victim::Run>(&victim));
    list.CallAll();
    EXPECT_EQ(victim.calls, 1);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ApplicationTest, DeferredCallsRunInPostingOrderOnePerEvent)
{
    Window* window = nullptr;
    m_application->CreateForm(window);
    Recorder r;
    m_application->PostDeferredCall(MakeMethod<&Recorder::A>(&r), nullptr);
    m_application->PostDeferredCall(MakeMethod<&Recorder::B>(&r), nullptr);
    m_application->PostDeferredCall(MakeMethod<&Recorder::A>(&r), nullptr);
    EXPECT_EQ(m_application->DeferredCallCount(), 3);
    QCoreApplication::sendPostedEvents(window, kDeferredCallEvent);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"A"}));
    Drain();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"A", "B", "A"}));
    EXPECT_EQ(window->deferredEvents, 3);
}

TEST_F(ApplicationTest, DeferredCallBeforeTheMainWindowExistsIsDropped)
{
    Recorder r;
    m_application->PostDeferredCall(MakeMethod<&Recorder::A>(&r), nullptr);
    EXPECT_EQ(m_application->DeferredCallCount(), 0);
    Window* window = nullptr;
    m_application->CreateForm(window);
    Drain();
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ApplicationTest, DeferredCallOfADestroyedObjectIsDropped)
{
    Window* window = nullptr;
    m_application->CreateForm(window);
    auto* doomed = new LifeModule("doomed");
    m_application->PostDeferredCall(MakeMethod<&TQpModule::Localize>(static_cast<TQpModule*>(doomed)),
                                    doomed);
    delete doomed;
    Drain();
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(m_application->DeferredCallCount(), 0);
}

TEST_F(ApplicationTest, LoadsBeforeConnectAndStartsAfterEveryConnect)
{
    LifeModule* first = nullptr;
    LifeModule* second = nullptr;
    m_application->CreateModule(first, "first");
    m_application->CreateModule(second, "second");
    ASSERT_EQ(m_application->ModuleCount(), 2);
    EXPECT_EQ(m_application->Modules(0), first);

    // A file must exist for Load to be called at all.
    QDir().mkpath(m_dir.filePath("Velmora"));
    QFile file(m_dir.filePath("Velmora/Velmora.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    m_application->LoadAllSettings();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"first.Load", "first.Connect", "first.Localize",
                                                 "second.Load", "second.Connect", "second.Localize",
                                                 "first.Started", "second.Started"}));
}

TEST_F(ApplicationTest, SettingsRoundTripThroughARealFileCreatingItsFolder)
{
    LifeModule* module = nullptr;
    m_application->CreateModule(module, "m", true);
    m_application->LoadAllSettings();
    EXPECT_EQ(module->loaded, -1);
    module->value = 4711;
    m_application->SaveAllSettings();
    ASSERT_TRUE(QFile::exists(m_dir.filePath("Velmora/Velmora.cfg")));

    const QString fileName = m_application->SettingsFileName();
    m_application = std::make_unique<TQpApplication>();
    m_application->SetSettingsFileName(fileName);
    LifeModule* again = nullptr;
    m_application->CreateModule(again, "m", true);
    m_application->LoadAllSettings();
    EXPECT_EQ(again->loaded, 4711);
}

TEST_F(ApplicationTest, NoModuleWritingLeavesNoFileAndAnExistingOneUntouched)
{
    LifeModule* module = nullptr;
    m_application->CreateModule(module, "silent");
    m_application->SaveAllSettings();
    EXPECT_FALSE(QDir(m_dir.filePath("Velmora")).exists());

    QDir().mkpath(m_dir.filePath("Velmora"));
    QFile file(m_dir.filePath("Velmora/Velmora.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    m_application->SaveAllSettings();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep"));
}

TEST_F(ApplicationTest, AFullDiskLeavesTheOldSettingsFileWhole)
{
    LifeModule* module = nullptr;
    m_application->CreateModule(module, "m", true);
    module->value = 1;
    m_application->SaveAllSettings();
    QFile file(m_application->SettingsFileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();
    module->value = 2;
    {
        TFullDisk full(8);
        m_application->SaveAllSettings();
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(m_dir.filePath("Velmora")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(ApplicationTest, SettingsFileNameIsInsideAFolderNamedAfterTheProgram)
{
    TQpApplication application;
    const QString name = application.SettingsFileName();
    const QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    EXPECT_TRUE(name.endsWith("/" + base + "/" + base + ".cfg")) << name.toStdString();
}

TEST_F(ApplicationTest, DestroyedModuleIsNeitherLocalizedNorUpdatedAgain)
{
    TQpLocalizer localizer(m_dir.path() + "/", 1033);
    auto module = std::make_unique<LifeModule>("gone");
    module->Connect();
    EXPECT_EQ(localizer.HandlerCount(), 1);
    module.reset();
    EXPECT_EQ(localizer.HandlerCount(), 0);
    g_calls.clear();
    m_application->Idle();
    localizer.SetLanguage(1033);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ApplicationTest, DestroyedFrameRemovesBothHandlers)
{
    TQpLocalizer localizer(m_dir.path() + "/", 1033);
    struct Frame : TQpFrame
    {
        void Localize() override { g_calls.push_back("frame.Localize"); }
        void UpdateControls() override { g_calls.push_back("frame.Update"); }
    };
    auto frame = std::make_unique<Frame>();
    frame->Connect();
    m_application->Idle();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"frame.Localize", "frame.Update"}));
    frame.reset();
    g_calls.clear();
    m_application->Idle();
    localizer.SetLanguage(1033);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ApplicationTest, FrameControlsEnabledReachesNestedChildren)
{
    TQpFrame frame;
    auto* group = new QWidget(&frame);
    auto* inner = new QWidget(group);
    frame.Connect();
    EXPECT_TRUE(frame.ControlsEnabled());
    frame.SetControlsEnabled(false);
    EXPECT_FALSE(inner->isEnabledTo(&frame));
    EXPECT_FALSE(group->isEnabledTo(&frame));
    frame.SetControlsEnabled(true);
    EXPECT_TRUE(inner->isEnabledTo(&frame));
}

TEST_F(ApplicationTest, ConstructorFailureLeavesTheReferenceNull)
{
    struct Failing : TQpModule
    {
        Failing() { throw std::runtime_error("no"); }
    };
    Failing* reference = reinterpret_cast<Failing*>(0x1);
    EXPECT_THROW(m_application->CreateModule(reference), std::runtime_error);
    EXPECT_EQ(reference, nullptr);
    EXPECT_EQ(m_application->ModuleCount(), 0);
}

} // namespace

namespace {

// Presses the button with `text` of the message box that is about to open.
void PressWhenShown(const QString& text)
{
    QTimer::singleShot(0, [text] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text().remove('&') == text) {
                        button->click();
                        return;
                    }
                }
            }
        }
    });
}

TEST(MessageBoxTest, FlagsGiveTheirButtonsAndButtonsTheirCodes)
{
    TestApplication();
    PressWhenShown("No");
    EXPECT_EQ(framework::ShowMessageBox(nullptr, "question", "caption", 36), framework::kIdNo);
    PressWhenShown("Yes");
    EXPECT_EQ(framework::ShowMessageBox(nullptr, "question", "caption", 52), framework::kIdYes);
    PressWhenShown("Cancel");
    EXPECT_EQ(framework::ShowMessageBox(nullptr, "save?", "caption", 51), framework::kIdCancel);
    PressWhenShown("OK");
    EXPECT_EQ(framework::ShowMessageBox(nullptr, "stop", "caption", 16), framework::kIdOk);
}

TEST(MessageBoxTest, HookAnswersWithoutAPersonAndSeesTheFlags)
{
    TestApplication();
    TQpApplication application;
    QApplication::setApplicationDisplayName("Velmora");
    int seenFlags = 0;
    QString seenCaption;
    framework::SetMessageBoxHook([&](const QString&, const QString& caption, int flags) {
        seenFlags = flags;
        seenCaption = caption;
        return framework::kIdCancel;
    });
    EXPECT_EQ(application.ShowMessageBox("text", 51), framework::kIdCancel);
    framework::SetMessageBoxHook({});
    EXPECT_EQ(seenFlags, 51);
    EXPECT_EQ(seenCaption, "Velmora");
}

} // namespace
