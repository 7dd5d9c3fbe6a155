#include "framework/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace framework {

namespace {
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

QMessageBox::Icon IconOf(int flags)
{
    switch (flags & 0xF0) {
    case kMbIconStop:
        return QMessageBox::Critical;
    case kMbIconQuestion:
        return QMessageBox::Question;
    case kMbIconExclamation:
        return QMessageBox::Warning;
    case kMbIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
} // namespace

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}

namespace {
bool g_closingDown = false;
} // namespace

void SetClosingDown(bool value)
{
    g_closingDown = value;
}

bool ClosingDown()
{
    return g_closingDown;
}

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, int flags)
{
    if (g_closingDown)
        return (flags & 0x0F) == kMbOk ? kIdOk : kIdNo;
    if (Hook())
        return Hook()(text, caption, flags);

    QMessageBox box(IconOf(flags), caption, text, QMessageBox::NoButton, owner);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.setLayoutDirection(QApplication::layoutDirection());
    switch (flags & 0x0F) {
    case kMbYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case kMbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    case QMessageBox::Cancel:
        return kIdCancel;
    default:
        return (flags & 0x0F) == kMbOk ? kIdOk : kIdCancel;
    }
}

} // namespace framework
