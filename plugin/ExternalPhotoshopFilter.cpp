#include "plugin/ExternalPhotoshopFilter.h"

#include "bridge/FileMapping.h"
#include "plugin/MessageBox.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace {

const char kErrorCaption[] = "Error";

void ShowError(std::intptr_t owner, const std::string& text)
{
    ShowMessageBox(owner, text, kErrorCaption, TMessageIcon::Error);
}

bool IsEmpty(const Rect& r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

void ClearRects(FilterRecord& record)
{
    record.maskRect = {};
    record.inRect = {};
    record.outRect = {};
}

bool RequestInput(FilterRecord& record)
{
    record.maskRect = {};
    record.outRect = {};
    record.inRect = record.filterRect;
    record.inLoPlane = 0;
    record.inHiPlane = static_cast<std::int16_t>(record.planes - 1);
    return record.advanceState != nullptr && record.advanceState() == kResultNoError &&
           record.inData != nullptr && record.inRowBytes > 0;
}

bool RequestOutput(FilterRecord& record)
{
    record.maskRect = {};
    record.inRect = {};
    record.outRect = record.filterRect;
    record.outLoPlane = 0;
    record.outHiPlane = static_cast<std::int16_t>(record.planes - 1);
    return record.advanceState != nullptr && record.advanceState() == kResultNoError &&
           record.outData != nullptr && record.outRowBytes > 0;
}

// The folder the program runs in: its path up to the last separator.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void SleepTenMilliseconds()
{
    timespec delay{0, 10'000'000};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

// Removes the block file when Start leaves, whichever way it leaves.
class TFileRemover
{
public:
    explicit TFileRemover(std::string path) : m_path(std::move(path)) {}
    ~TFileRemover()
    {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    TFileRemover(const TFileRemover&) = delete;
    TFileRemover& operator=(const TFileRemover&) = delete;

private:
    std::string m_path;
};

} // namespace

std::string CreateTransferFileName()
{
    const char* folder = std::getenv("TMPDIR");
    std::string name = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    if (name.back() != '/')
        name += '/';
    name += "PSPFXXXXXX.tmp";
    const int fd = ::mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0)
        return {};
    ::close(fd);
    return name;
}

TExternalPhotoshopFilter::TExternalPhotoshopFilter(std::string programPath, std::string aboutText,
                                                   std::string aboutCaption)
    : m_programPath(std::move(programPath)), m_workingFolder(FolderOf(m_programPath))
{
    SetAboutText(std::move(aboutText));
    SetAboutCaption(std::move(aboutCaption));
}

void TExternalPhotoshopFilter::SetEventPump(TEventPump pump, void* context)
{
    m_eventPump = pump;
    m_eventPumpContext = context;
}

OSErr TExternalPhotoshopFilter::Start(FilterRecord* record)
{
    if (record == nullptr)
        return kResultBadParameters;
    FilterRecord& r = *record;
    const std::intptr_t owner = OwnerWindow(r.platformData);

    if (IsEmpty(r.filterRect) || r.planes < 1 || !RequestInput(r)) {
        ShowError(owner, "Get image data error.");
        ClearRects(r);
        return kResultFailed;
    }
    TTransferDescriptor sent;
    sent.Mode = r.imageMode;
    sent.Left = r.filterRect.left;
    sent.Top = r.filterRect.top;
    sent.Width = r.filterRect.right - r.filterRect.left;
    sent.Height = r.filterRect.bottom - r.filterRect.top;
    sent.RowBytes = r.inRowBytes;
    sent.Planes = r.planes;

    const std::string path = CreateTransferFileName();
    const TFileRemover remover(path);
    if (path.empty() || !WriteBlock(path, sent, r.inData)) {
        ShowError(owner, "Create temp file error.");
        ClearRects(r);
        return kResultFailed;
    }

    OSErr result = kResultFailed;
    int errorNumber = 0;
    switch (RunProgram(path, errorNumber)) {
    case TRunOutcome::NotStarted:
        ShowError(owner,
                  "Execute application \"" + m_programPath + "\" error: " + std::to_string(errorNumber));
        break;
    case TRunOutcome::Other:
        result = kResultCancelled;
        break;
    case TRunOutcome::Accepted:
        if (!RequestOutput(r)) {
            ShowError(owner, "Get out image data error.");
            result = kResultCancelled;
        } else {
            result = ReadResult(path, sent, r, owner);
        }
        break;
    }
    ClearRects(r);
    return result;
}

bool TExternalPhotoshopFilter::WriteBlock(const std::string& path, const TTransferDescriptor& descriptor,
                                          const void* pixels)
{
    const auto size = TransferBlockSize(descriptor.Height, descriptor.RowBytes);
    TFileMapping mapping;
    if (!size || !mapping.Create(path) || !mapping.SetSize(*size))
        return false;
    std::uint8_t* data = mapping.Map(0, 0, TMapAccess::Write);
    if (data == nullptr)
        return false;
    WriteTransferHeader(data, descriptor);
    // The host's last row may end right after its pixels, so only the pixels of that row are read;
    // the rest of the block keeps the zeros the file was extended with.
    const auto rowBytes = static_cast<std::size_t>(descriptor.RowBytes);
    const std::size_t lastRow = std::min(rowBytes, static_cast<std::size_t>(descriptor.Width) *
                                                       static_cast<std::size_t>(descriptor.Planes));
    const std::size_t length = (static_cast<std::size_t>(descriptor.Height) - 1) * rowBytes + lastRow;
    std::memcpy(data + kTransferHeaderSize, pixels, length);
    mapping.Unmap(data);
    return true;
}

TExternalPhotoshopFilter::TRunOutcome TExternalPhotoshopFilter::RunProgram(const std::string& blockPath,
                                                                           int& errorNumber)
{
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0) {
        errorNumber = ENOMEM;
        return TRunOutcome::NotStarted;
    }
    if (!m_workingFolder.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, m_workingFolder.c_str());
    // The program inherits none of the host's files.
    ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    // The program starts in its own folder, so a relative path must be made whole from ours first.
    std::string program = m_programPath;
    if (!program.empty() && program.front() != '/' && program.find('/') != std::string::npos) {
        std::string current(4096, '\0');
        if (::getcwd(current.data(), current.size()) != nullptr)
            program = current.c_str() + std::string("/") + program;
    }
    std::string block = blockPath;
    char* arguments[] = {program.data(), block.data(), nullptr};
    pid_t child = 0;
    errorNumber = ::posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (errorNumber != 0)
        return TRunOutcome::NotStarted;

    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? TRunOutcome::Accepted : TRunOutcome::Other;
        if (done < 0 && errno != EINTR)
            return TRunOutcome::Other; // a host that ignores SIGCHLD leaves no exit status to read
        const bool handled = m_eventPump != nullptr && m_eventPump(m_eventPumpContext) != 0;
        if (!handled)
            SleepTenMilliseconds();
    }
}

OSErr TExternalPhotoshopFilter::ReadResult(const std::string& path, const TTransferDescriptor& sent,
                                           FilterRecord& record, std::intptr_t owner)
{
    TFileMapping mapping;
    if (!mapping.OpenReadOnly(path))
        return kResultCancelled;
    const std::size_t size = mapping.Size();
    const std::uint8_t* data = mapping.Map(0, 0, TMapAccess::Read);
    if (data == nullptr)
        return kResultCancelled;
    const TResultStatus status =
        CopyTransferResult(data, size, sent, static_cast<std::uint8_t*>(record.outData),
                           static_cast<std::size_t>(record.outRowBytes), record.planes);
    mapping.Unmap(const_cast<std::uint8_t*>(data));
    switch (status) {
    case TResultStatus::Accepted:
        return kResultNoError;
    case TResultStatus::Rejected:
        ShowError(owner, "Transfer image data error.");
        return kResultCancelled;
    case TResultStatus::NotABlock:
        break;
    }
    return kResultCancelled;
}
