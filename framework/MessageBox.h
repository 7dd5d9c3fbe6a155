#pragma once
// Modal message boxes with the flag values and result codes the program uses throughout:
// flags 16 (stop, OK), 36 (question, Yes/No), 51 (exclamation, Yes/No/Cancel),
// 52 (exclamation, Yes/No), 64 (information, OK); results 1 OK, 2 Cancel, 6 Yes, 7 No.

#include <QString>
#include <functional>

class QWidget;

namespace framework {

constexpr int kMbOk = 0x00;
constexpr int kMbYesNoCancel = 0x03;
constexpr int kMbYesNo = 0x04;
constexpr int kMbIconStop = 0x10;
constexpr int kMbIconQuestion = 0x20;
constexpr int kMbIconExclamation = 0x30;
constexpr int kMbIconInformation = 0x40;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Lets tests answer message boxes without a person; the hook gets text, caption and flags
// and returns the button code. An empty hook restores the real box.
using MessageBoxHook = std::function<int(const QString& text, const QString& caption, int flags)>;
void SetMessageBoxHook(MessageBoxHook hook);

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, int flags);

// While the program is being ended by the system nobody is there to answer: every box returns at once,
// No to questions, OK to notes. The caller has kept the user's work another way.
void SetClosingDown(bool value);
bool ClosingDown();

} // namespace framework
