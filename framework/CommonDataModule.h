#pragma once
// Holds the program's 24x24 toolbar images and, once the creation sequence made it, the
// progress meter over the status bar's last panel (which it frees).

#include "core/ProgressMeter.h"
#include "framework/QpImageList.h"

#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <memory>

// The one progress reporter: a progress bar in the main window's status bar.
class TProgressMeter : public IProgressMeter
{
public:
    explicit TProgressMeter(QProgressBar* bar) : m_bar(bar) {}
    void Start(int steps) override;
    void Step() override;
    QProgressBar* Bar() const { return m_bar; }

private:
    QPointer<QProgressBar> m_bar; // the status bar owns it
};

class TCommonDataModule : public QObject
{
public:
    TCommonDataModule();
    ~TCommonDataModule() override;

    TQpImageList ToolbarImages{QSize(24, 24)};
    std::unique_ptr<TProgressMeter> ProgressMeterOwner;
};

extern TCommonDataModule* CommonDataModule;
// The program's progress meter; null until the creation sequence made it.
extern TProgressMeter* ProgressMeter;
