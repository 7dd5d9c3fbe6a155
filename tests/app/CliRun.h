#pragma once
// Runs the real velmora-cli as a separate program and keeps what it said.

#include <QProcess>
#include <QString>
#include <QStringList>

struct TCliRun
{
    int exitCode = -1; // -1 also when the program crashed or did not finish
    QString output;
    QString errors;
};

inline TCliRun RunCli(const QStringList& arguments, int timeoutMs = 300000)
{
    QProcess process;
    process.start(VELMORA_CLI, arguments);
    TCliRun run;
    if (!process.waitForFinished(timeoutMs))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

inline QString TestPhoto(const char* name)
{
    return QString(VELMORA_TESTDATA_DIR) + "/photos/" + name;
}
