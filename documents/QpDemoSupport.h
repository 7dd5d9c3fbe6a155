#pragma once
// How demonstration script words reach modules and how modules record script lines. Editors and
// tools implement IQpDemoSupport; the demonstration player implements IQpDemoPlayer. Both live
// here, below the demonstration folder, so that documents and tools need nothing above them.

#include <QPoint>
#include <QString>
#include <vector>

// One argument of a script line: its text, and its value when the text is a number.
struct TQpDemoArgument
{
    QString Text;
    bool Numeric = false;
    double Number = 0.0;
};

using TQpDemoParams = std::vector<TQpDemoArgument>;

// The macro action a handled word belongs to; only the player knows its contents.
class TQpDemoScriptUserAction;

// What a module sees of the player that plays or records a demonstration.
class IQpDemoPlayer
{
public:
    virtual ~IQpDemoPlayer() = default;

    // Inserts a line into the script being recorded; nothing unless a recording is in progress.
    virtual void RecordLine(const QString& text) = 0;
    // Whether the demo editor's option to record a message before each action is on.
    virtual bool ShowMessages() const = 0;
    // Reports an error that stops the playback.
    virtual void Error(const QString& text) = 0;

    void RecordMoveTo(const QString& name) { RecordLine(QStringLiteral("MouseCurvedMove ") + name); }
    void RecordCommand(const QString& name, const QString& args)
    {
        RecordMoveTo(name);
        RecordLine(args.isEmpty() ? name : name + QLatin1Char(' ') + args);
    }
};

// A module that answers script words and named screen targets, and records its own actions while
// the demo editor records.
class IQpDemoSupport
{
public:
    virtual ~IQpDemoSupport() = default;

    // Carries out `word` (upper case) and sets `handled`, or leaves `handled` false.
    virtual void DemoCommand(IQpDemoPlayer* player, const QString& word, bool& handled,
                             TQpDemoScriptUserAction* action, const TQpDemoParams& params) = 0;
    // Sets `point` (screen coordinates) for the target named by params[0] and sets `handled`, or
    // leaves `handled` false.
    virtual void DemoPoint(IQpDemoPlayer* player, const TQpDemoParams& params, bool& handled,
                           QPoint& point) = 0;
    // Keeps the player so the module records its actions through it, until DemoRecordStop.
    virtual void DemoRecordStart(IQpDemoPlayer* player) = 0;
    virtual void DemoRecordStop(IQpDemoPlayer* player) = 0;
};
