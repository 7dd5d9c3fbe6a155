#include "TestHost.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int32_t Int32At(const TBytes& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | bytes.at(offset + i);
    return static_cast<std::int32_t>(value);
}

// A private world for each test: program folder with the stand-in under several names, the user's and
// the system's configuration folders, and the temporary folder the plug-in must leave empty.
class PluginHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(value != nullptr, value != nullptr ? value : "");
        }
        std::string pattern = (fs::temp_directory_path() / "velmora-plugin-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        for (const char* folder : {"bin", "config/Velmora", "system/Velmora", "tmp", "lib"})
            fs::create_directories(m_root / folder);
        for (const char* role :
             {"invert", "record", "cancel", "crash", "resize", "nomagic", "rowbytes", "truncate", "delete"})
            fs::create_symlink(VELMORA_STAND_IN_FILE, m_root / "bin" / role);
        ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (m_root / "system").c_str(), 1);
        ::setenv("TMPDIR", (m_root / "tmp").c_str(), 1);
    }

    void TearDown() override
    {
        m_module.reset();
        for (std::size_t i = 0; i < m_saved.size(); ++i) {
            if (m_saved[i].first)
                ::setenv(kVariables[i], m_saved[i].second.c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        }
        std::error_code ignored;
        if (!m_root.empty())
            fs::remove_all(m_root, ignored);
    }

    fs::path Program(const std::string& role) const { return m_root / "bin" / role; }

    void WriteRegistry(const std::string& which, const std::string& text)
    {
        std::ofstream(m_root / which / "Velmora" / "plugins.conf", std::ios::binary) << text;
    }
    void RegisterProgram(const std::string& role)
    {
        WriteRegistry("config", "SOFTWARE\\Brellix\\Photo Plugins\\Velmora=" + Program(role).string() + "\n");
    }

    TPluginModule& Load()
    {
        // A fresh file name for every load: rewriting a file that is still mapped would change the
        // loaded code under its feet.
        m_module.reset();
        const std::string name = "VelmoraPlugin-" + std::to_string(++m_loads) + ".8bf";
        m_module = std::make_unique<TPluginModule>(VELMORA_PLUGIN_FILE, m_root / "lib" / name);
        EXPECT_TRUE(m_module->IsLoaded()) << m_module->LoadError;
        return *m_module;
    }

    TPluginModule& LoadWith(const std::string& role)
    {
        RegisterProgram(role);
        return Load();
    }

    bool TemporaryFolderIsEmpty() const { return fs::is_empty(m_root / "tmp"); }

    static void ExpectRectsEmpty(const FilterRecord& r)
    {
        for (const Rect& rect : {r.inRect, r.outRect, r.maskRect})
            EXPECT_TRUE(rect.top == 0 && rect.left == 0 && rect.bottom == 0 && rect.right == 0);
    }

    static void ExpectOneError(const TPluginModule& module, const std::string& text)
    {
        ASSERT_EQ(module.Messages.size(), 1u);
        EXPECT_EQ(module.Messages[0].Text, text);
        EXPECT_EQ(module.Messages[0].Caption, "Error");
        EXPECT_EQ(module.Messages[0].Owner, 0x5150) << "owned by the host's window";
    }

    // The destination the host should hold after the stand-in inverted the filter rectangle: red, green
    // and blue inverted inside, every other byte as the source had it.
    static TBytes Inverted(const TTestHost& host)
    {
        TBytes expected = host.Source.Bytes;
        const Rect& r = host.Record.filterRect;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                for (int c = 0; c < 3; ++c)
                    expected[host.Source.Offset(x, y) + c] ^= 0xFF;
        return expected;
    }

    static constexpr const char* kVariables[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "TMPDIR"};
    std::vector<std::pair<bool, std::string>> m_saved;
    fs::path m_root;
    std::unique_ptr<TPluginModule> m_module;
    int m_loads = 0;
};

TEST_F(PluginHost, PropertyListIsReadableFromTheFileWithoutRunningIt)
{
    const TBytes section = ReadElfSection(VELMORA_PLUGIN_FILE, ".pipl");
    ASSERT_GE(section.size(), 10u);
    EXPECT_EQ(section[0] | section[1] << 8, 1);
    EXPECT_EQ(Int32At(section, 2), 0);
    ASSERT_EQ(Int32At(section, 6), 8);

    struct TProperty
    {
        std::string Key;
        TBytes Data;
    };
    std::vector<TProperty> properties;
    std::size_t at = 10;
    for (int i = 0; i < 8; ++i) {
        ASSERT_LE(at + 16, section.size());
        EXPECT_EQ(std::string(section.begin() + at, section.begin() + at + 4), "MIB8");
        const std::string stored(section.begin() + at + 4, section.begin() + at + 8);
        EXPECT_EQ(Int32At(section, at + 8), 0) << "identifier";
        const auto length = static_cast<std::size_t>(Int32At(section, at + 12));
        ASSERT_LE(at + 16 + length, section.size());
        properties.push_back({std::string(stored.rbegin(), stored.rend()),
                              TBytes(section.begin() + at + 16, section.begin() + at + 16 + length)});
        at += 16 + (length + 3) / 4 * 4;
    }
    EXPECT_EQ(at, 242u);
    // The sanitizer build may pad the section after the list; the padding stays zero.
    for (std::size_t i = at; i < section.size(); ++i)
        EXPECT_EQ(section[i], 0);

    ASSERT_EQ(properties.size(), 8u);
    const char* keys[] = {"kind", "name", "catg", "vers", "wx86", "mode", "enbl", "fici"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(properties[i].Key, keys[i]);
    EXPECT_EQ(properties[0].Data, (TBytes{'M', 'F', 'B', '8'}));
    const std::string name = "\x0AVelmora...";
    EXPECT_EQ(properties[1].Data, TBytes(name.begin(), name.end()));
    const std::string category = "\x07"
                                 "Brellix";
    EXPECT_EQ(properties[2].Data, TBytes(category.begin(), category.end()));
    EXPECT_EQ(properties[3].Data, (TBytes{5, 0, 2, 0}));
    const std::string entry("ENTRYPOINT\0", 11);
    EXPECT_EQ(properties[4].Data, TBytes(entry.begin(), entry.end()));
    EXPECT_EQ(properties[5].Data, (TBytes{0x10, 0, 0, 0})) << "RGB colour only";
    const std::string enable("in (PSHOP_ImageMode,RGBMode)\0", 29);
    EXPECT_EQ(properties[6].Data, TBytes(enable.begin(), enable.end()));
    EXPECT_EQ(properties[7].Data, (TBytes{1, 1, 7, 0, 1,  1, 15, 0, 1, 1, 15, 0, 1,  1,
                                          7, 0, 1, 1, 15, 0, 1,  1, 7, 0, 1,  1, 15, 0}));

    // The exported symbol points at the same bytes, and the entry point the list names is exported.
    TPluginModule& module = Load();
    const auto* symbol = static_cast<const std::uint8_t*>(module.Symbol("VelmoraPiPL"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(TBytes(symbol, symbol + 242), TBytes(section.begin(), section.begin() + 242));
    EXPECT_NE(module.Symbol("ENTRYPOINT"), nullptr);
}

TEST_F(PluginHost, AboutShowsTheAboutBoxOverTheHostWindow)
{
    TPluginModule& module = LoadWith("invert");
    PlatformData window{0x77};
    AboutRecord about{};
    about.platformData = &window;
    EXPECT_EQ(module.Call(kSelectorAbout, &about), 0);
    ASSERT_EQ(module.Messages.size(), 1u);
    EXPECT_EQ(module.Messages[0].Owner, 0x77);
    EXPECT_EQ(module.Messages[0].Caption, "About Velmora Plug-in");
    EXPECT_EQ(module.Messages[0].Text.rfind("Velmora Plug-in\nVersion: 3.2.9\n", 0), 0u);
}

TEST_F(PluginHost, UnloadingReleasesTheLibrary)
{
    // Nothing may pin the library once the host lets it go, or its filter object would outlive it.
    Load();
    const auto mapped = [] {
        std::ifstream maps("/proc/self/maps");
        const std::string text{std::istreambuf_iterator<char>(maps), std::istreambuf_iterator<char>()};
        return text.find("VelmoraPlugin-1.8bf") != std::string::npos;
    };
    EXPECT_TRUE(mapped());
    m_module.reset();
    EXPECT_FALSE(mapped());
}

TEST_F(PluginHost, SelectorsOtherThanStartDoNothing)
{
    TPluginModule& module = LoadWith("record");
    TTestHost host(4, 3, 3, 13, {0, 0, 3, 4});
    for (std::int16_t selector : {kSelectorParameters, kSelectorPrepare, kSelectorContinue, kSelectorFinish})
        EXPECT_EQ(host.Run(module, selector), 0) << selector;
    for (std::int16_t selector : {6, 7, -1, 1000})
        EXPECT_EQ(host.Run(module, selector), kResultBadParameters) << selector;
    EXPECT_EQ(host.InputRequests + host.OutputRequests, 0);
    EXPECT_TRUE(module.Messages.empty());
    EXPECT_FALSE(fs::exists(m_root / "bin" / "received.block")) << "the program was not started";
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
}

TEST_F(PluginHost, WholeThreePlaneImageWithOddRowBytesComesBackInverted)
{
    TPluginModule& module = LoadWith("invert");
    TTestHost host(5, 4, 3, 17, {0, 0, 4, 5});
    EXPECT_EQ(host.Run(module, kSelectorStart), 0);
    EXPECT_TRUE(module.Messages.empty());
    EXPECT_EQ(host.Destination.Bytes, Inverted(host));
    EXPECT_EQ(host.InputRequests, 1);
    EXPECT_EQ(host.OutputRequests, 1);
    ExpectRectsEmpty(host.Record);
    EXPECT_TRUE(TemporaryFolderIsEmpty());
    EXPECT_GE(module.PumpCalls, 1) << "the host's events are pumped while the program runs";
}

TEST_F(PluginHost, SelectionComesBackWithoutTouchingThePixelsBesideIt)
{
    // The program's 4-byte-aligned rows are longer than the selection's pixels; the bytes after them in
    // the host's rows are the image's own pixels to the right of the selection.
    TPluginModule& module = LoadWith("invert");
    TTestHost host(8, 4, 3, 25, {1, 2, 3, 5});
    EXPECT_EQ(host.Run(module, kSelectorStart), 0);
    EXPECT_EQ(host.Destination.Bytes, Inverted(host));
}

TEST_F(PluginHost, FourPlaneSelectionComesBackWithTheHostsTransparencyKept)
{
    TPluginModule& module = LoadWith("invert");
    // The selection reaches the image's last pixel, where the host's buffers end.
    TTestHost host(9, 7, 4, 39, {2, 3, 7, 9});
    EXPECT_EQ(host.Run(module, kSelectorStart), 0);
    EXPECT_TRUE(module.Messages.empty());
    EXPECT_EQ(host.Destination.Bytes, Inverted(host));
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, HundredByFiftySelectionTravelsAsOneBlock)
{
    TPluginModule& module = LoadWith("record");
    TTestHost host(100, 80, 3, 300, {20, 0, 70, 100});
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultCancelled) << "the recorder exits -1";
    const TBytes block = ReadFile(m_root / "bin" / "received.block");
    ASSERT_EQ(block.size(), 15036u);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 4), "PSPF");
    const std::int32_t descriptor[] = {32, 3, 0, 20, 100, 50, 300, 3};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Int32At(block, 4 + 4 * i), descriptor[i]) << "descriptor field " << i;
    EXPECT_EQ(TBytes(block.begin() + 36, block.end()),
              TBytes(host.Source.Bytes.begin() + 20 * 300, host.Source.Bytes.begin() + 70 * 300));
    EXPECT_TRUE(module.Messages.empty());
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes) << "a cancelled run leaves the host's image";
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, SelectionOfAFourPlaneImageCarriesItsOffsetAndRowsByteForByte)
{
    TPluginModule& module = LoadWith("record");
    TTestHost host(9, 7, 4, 39, {2, 3, 7, 9});
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultCancelled);
    const TBytes block = ReadFile(m_root / "bin" / "received.block");
    ASSERT_EQ(block.size(), 36u + 5 * 39);
    const std::int32_t descriptor[] = {32, 3, 3, 2, 6, 5, 39, 4};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Int32At(block, 4 + 4 * i), descriptor[i]) << "descriptor field " << i;
    for (int y = 0; y < 5; ++y) {
        // 24 pixel bytes per row; the rest of a row belongs to the host and is not judged.
        const auto source =
            host.Source.Bytes.begin() + static_cast<std::ptrdiff_t>(host.Source.Offset(3, 2 + y));
        EXPECT_EQ(TBytes(block.begin() + 36 + 39 * y, block.begin() + 36 + 39 * y + 24),
                  TBytes(source, source + 24))
            << "row " << y;
    }
}

TEST_F(PluginHost, RunsThatDoNotEndInAResultLeaveTheHostUntouched)
{
    const struct
    {
        const char* Role;
        const char* Message; // nullptr: none
    } runs[] = {
        {"cancel", nullptr},
        {"crash", nullptr},
        {"nomagic", nullptr},
        {"delete", nullptr},
        {"resize", "Transfer image data error."},
        {"rowbytes", "Transfer image data error."},
        {"truncate", "Transfer image data error."},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.Role);
        TPluginModule& module = LoadWith(run.Role);
        TTestHost host(6, 5, 3, 19, {1, 1, 4, 6});
        EXPECT_EQ(host.Run(module, kSelectorStart), kResultCancelled);
        if (run.Message != nullptr)
            ExpectOneError(module, run.Message);
        else
            EXPECT_TRUE(module.Messages.empty());
        EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
        ExpectRectsEmpty(host.Record);
        EXPECT_TRUE(TemporaryFolderIsEmpty());
    }
}

TEST_F(PluginHost, MissingRegistryValueFailsToStartWithAnEmptyPath)
{
    TPluginModule& module = Load();
    TTestHost host(4, 3, 3, 12, {0, 0, 3, 4});
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultFailed);
    ExpectOneError(module, "Execute application \"\" error: 2");
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
    EXPECT_EQ(host.OutputRequests, 0);
    ExpectRectsEmpty(host.Record);
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, ProgramThatCannotBeStartedIsNamedInTheMessage)
{
    TPluginModule& module = LoadWith("no-such-program");
    TTestHost host(4, 3, 3, 12, {0, 0, 3, 4});
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultFailed);
    ExpectOneError(module, "Execute application \"" + Program("no-such-program").string() + "\" error: 2");
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, RelativeProgramPathIsTakenFromTheHostsFolder)
{
    // The stand-in checks that it runs in its own folder, "bin".
    WriteRegistry("config", "SOFTWARE\\Brellix\\Photo Plugins\\Velmora=bin/invert\n");
    TPluginModule& module = Load();
    const fs::path previous = fs::current_path();
    fs::current_path(m_root);
    TTestHost host(3, 2, 3, 9, {0, 0, 2, 3});
    const std::int16_t result = host.Run(module, kSelectorStart);
    fs::current_path(previous);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(host.Destination.Bytes, Inverted(host));
}

TEST_F(PluginHost, UsersRegistryFileComesBeforeTheSystemsOne)
{
    // The system names the recorder; the user's file, with CRLF lines and a comment, names the inverter.
    WriteRegistry("system", "SOFTWARE\\Brellix\\Photo Plugins\\Velmora=" + Program("record").string() + "\n");
    WriteRegistry("config", "# Velmora\r\nsoftware\\brellix\\photo plugins\\velmora=" +
                                Program("invert").string() + "\r\n");
    TPluginModule& module = Load();
    TTestHost host(3, 2, 3, 9, {0, 0, 2, 3});
    EXPECT_EQ(host.Run(module, kSelectorStart), 0);
    EXPECT_EQ(host.Destination.Bytes, Inverted(host));
}

TEST_F(PluginHost, SystemRegistryFileServesWhenTheUserHasNoEntry)
{
    WriteRegistry("system", "SOFTWARE\\Brellix\\Photo Plugins\\Velmora=" + Program("invert").string() + "\n");
    WriteRegistry("config", "SOFTWARE\\Brellix\\Photo Plugins\\Other=" + Program("cancel").string() + "\n");
    TPluginModule& module = Load();
    TTestHost host(3, 2, 3, 9, {0, 0, 2, 3});
    EXPECT_EQ(host.Run(module, kSelectorStart), 0);
}

TEST_F(PluginHost, InstallScriptWritesTheEntryThePlugInReads)
{
    WriteRegistry("config", "# kept\nSOFTWARE\\Brellix\\Photo Plugins\\Velmora=/old/place\n");
    const std::string command = std::string("bash '") + VELMORA_SOURCE_DIR +
                                "/scripts/install-plugin.sh' --user '" + Program("invert").string() +
                                "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(m_root / "config" / "Velmora" / "plugins.conf"), [&] {
        const std::string text =
            "# kept\nSOFTWARE\\Brellix\\Photo Plugins\\Velmora=" + Program("invert").string() + "\n";
        return TBytes(text.begin(), text.end());
    }());
    TPluginModule& module = Load();
    TTestHost host(3, 2, 3, 9, {0, 0, 2, 3});
    EXPECT_EQ(host.Run(module, kSelectorStart), 0);
    EXPECT_EQ(host.Destination.Bytes, Inverted(host));
}

TEST_F(PluginHost, RegistryValueLongerThanItsBufferReadsAsEmpty)
{
    // 1023 characters and the terminating zero fill the 1024-byte buffer; one more does not fit.
    const std::string folder = "/" + std::string(200, 'a') + "/" + std::string(200, 'b') + "/" +
                               std::string(200, 'c') + "/" + std::string(200, 'd') + "/";
    const std::string fits = folder + std::string(1023 - folder.size(), 'e');
    ASSERT_EQ(fits.size(), 1023u);
    for (const std::string& value : {fits, fits + "e"}) {
        WriteRegistry("config", std::string("SOFTWARE\\Brellix\\Photo Plugins\\Velmora=") + value + "\n");
        TPluginModule& module = Load();
        TTestHost host(2, 2, 3, 6, {0, 0, 2, 2});
        EXPECT_EQ(host.Run(module, kSelectorStart), kResultFailed);
        const std::string shown = value.size() == 1023 ? value : "";
        ExpectOneError(module, "Execute application \"" + shown + "\" error: 2");
    }
}

TEST_F(PluginHost, HostThatCannotSupplyTheInput)
{
    TPluginModule& module = LoadWith("record");
    TTestHost host(4, 3, 3, 12, {0, 0, 3, 4});
    host.FailInput = true;
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultFailed);
    ExpectOneError(module, "Get image data error.");
    ExpectRectsEmpty(host.Record);
    EXPECT_FALSE(fs::exists(m_root / "bin" / "received.block"));
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, HostThatCannotSupplyTheOutput)
{
    TPluginModule& module = LoadWith("invert");
    TTestHost host(4, 3, 3, 12, {0, 0, 3, 4});
    host.FailOutput = true;
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultCancelled);
    ExpectOneError(module, "Get out image data error.");
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
    ExpectRectsEmpty(host.Record);
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, TemporaryFolderThatCannotHoldTheBlock)
{
    TPluginModule& module = LoadWith("invert");
    ::setenv("TMPDIR", (m_root / "missing").c_str(), 1);
    TTestHost host(4, 3, 3, 12, {0, 0, 3, 4});
    EXPECT_EQ(host.Run(module, kSelectorStart), kResultFailed);
    ExpectOneError(module, "Create temp file error.");
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
    ExpectRectsEmpty(host.Record);
}

TEST_F(PluginHost, BlockFileThatCannotBeSizedIsNotWrittenThrough)
{
    // A file size limit stands in for a full disk: growing the block fails, and writing through a view
    // past the real end would kill the host.
    TPluginModule& module = LoadWith("record");
    TTestHost host(100, 50, 3, 300, {0, 0, 50, 100});
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::int16_t result = host.Run(module, kSelectorStart);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result, kResultFailed);
    ExpectOneError(module, "Create temp file error.");
    EXPECT_FALSE(fs::exists(m_root / "bin" / "received.block")) << "the program was not started";
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, HostThatIgnoresChildExitsGetsACancelledRun)
{
    // Without an exit status the result cannot be trusted.
    TPluginModule& module = LoadWith("invert");
    TTestHost host(4, 3, 3, 12, {0, 0, 3, 4});
    const auto previous = std::signal(SIGCHLD, SIG_IGN);
    const std::int16_t result = host.Run(module, kSelectorStart);
    std::signal(SIGCHLD, previous);
    EXPECT_EQ(result, kResultCancelled);
    EXPECT_TRUE(module.Messages.empty());
    EXPECT_EQ(host.Destination.Bytes, host.Source.Bytes);
    EXPECT_TRUE(TemporaryFolderIsEmpty());
}

TEST_F(PluginHost, EntryPointSurvivesMissingPointers)
{
    TPluginModule& module = LoadWith("record");
    auto entry = reinterpret_cast<TPluginEntry>(module.Symbol("ENTRYPOINT"));
    ASSERT_NE(entry, nullptr);
    entry(kSelectorStart, nullptr, nullptr, nullptr);
    EXPECT_EQ(module.Call(kSelectorStart, nullptr), kResultBadParameters);
    EXPECT_EQ(module.Call(kSelectorAbout, nullptr), 0);
    EXPECT_EQ(module.Messages.size(), 1u) << "the about box, without an owner";
}

} // namespace
