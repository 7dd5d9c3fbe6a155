#pragma once
// One place for what every module does with script words: reading integer and colour arguments
// safely (script numbers may be anything: NaN, 1e300, text), finding a widget's centre on the screen,
// and answering both DemoCommand and DemoPoint from one table of words.

#include "documents/QpDemoSupport.h"

#include <QPoint>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

// The argument at `index` as an integer: a finite number rounded to the nearest (ties to even), or, with
// `acceptText`, a text that reads as a decimal integer; clamped to [minimum, maximum]. Nothing when there
// is no such argument or it is neither.
std::optional<int> DemoInteger(const TQpDemoParams& params, std::size_t index, int minimum, int maximum,
                               bool acceptText = false);
int DemoInteger(const TQpDemoParams& params, std::size_t index, int fallback, int minimum, int maximum);

// The argument at `index` as a switch: a number other than 0 is on, any other argument off, and
// `fallback` when there is none.
bool DemoBoolean(const TQpDemoParams& params, std::size_t index, bool fallback);

// The argument at `index` as a colour value (red in the low byte, 24 bits): a finite number, or a
// text in decimal, "$hex" or "0xhex"; `fallback` otherwise.
std::uint32_t DemoColor(const TQpDemoParams& params, std::size_t index, std::uint32_t fallback);

// The first argument as a target name: trimmed, upper case.
QString DemoTargetName(const TQpDemoParams& params);

// The centre of `widget` on the screen; false when there is none.
bool ScreenCentre(const QWidget* widget, QPoint& point);

// One script word of a module: "<demo name><Suffix>" runs Action (when there is one) and names the
// screen target Target (when there is one).
struct TQpDemoWord
{
    const char* Suffix; // upper case
    std::function<void(const TQpDemoParams&)> Action;
    const QWidget* Target = nullptr;
};
using TQpDemoWords = std::vector<TQpDemoWord>;

// Runs the action of `word` (upper case) when it is `prefix` (upper case) followed by a suffix of the
// table that has an action. False when the table has no such word.
bool RunDemoWord(const TQpDemoWords& words, const QString& prefix, const QString& word,
                 const TQpDemoParams& params);
// Sets `point` to the centre of the target named by params[0] when that is `prefix` followed by a
// suffix of the table that has a target. False when the table has no such word.
bool DemoWordPoint(const TQpDemoWords& words, const QString& prefix, const TQpDemoParams& params,
                   QPoint& point);
