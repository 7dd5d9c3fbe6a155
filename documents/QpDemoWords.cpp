#include "documents/QpDemoWords.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

std::optional<int> DemoInteger(const TQpDemoParams& params, std::size_t index, int minimum, int maximum,
                               bool acceptText)
{
    if (index >= params.size())
        return std::nullopt;
    const TQpDemoArgument& argument = params[index];
    if (argument.Numeric) {
        if (!std::isfinite(argument.Number))
            return std::nullopt;
        // Clamped as a double first: converting an out-of-range double to int is undefined.
        const double whole = std::nearbyint(argument.Number);
        return static_cast<int>(
            std::clamp(whole, static_cast<double>(minimum), static_cast<double>(maximum)));
    }
    if (!acceptText)
        return std::nullopt;
    bool ok = false;
    const qlonglong value = argument.Text.trimmed().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return static_cast<int>(std::clamp<qlonglong>(value, minimum, maximum));
}

int DemoInteger(const TQpDemoParams& params, std::size_t index, int fallback, int minimum, int maximum)
{
    return DemoInteger(params, index, minimum, maximum).value_or(fallback);
}

bool DemoBoolean(const TQpDemoParams& params, std::size_t index, bool fallback)
{
    if (index >= params.size())
        return fallback;
    return params[index].Numeric && params[index].Number != 0.0;
}

std::uint32_t DemoColor(const TQpDemoParams& params, std::size_t index, std::uint32_t fallback)
{
    constexpr std::uint32_t kColorMask = 0xFFFFFF;
    if (index >= params.size())
        return fallback;
    const TQpDemoArgument& argument = params[index];
    if (argument.Numeric) {
        if (!std::isfinite(argument.Number))
            return fallback;
        return static_cast<std::uint32_t>(std::clamp(argument.Number, 0.0, 4294967295.0)) & kColorMask;
    }
    QString text = argument.Text.trimmed();
    int base = 10;
    if (text.startsWith(QLatin1Char('$'))) {
        text = text.mid(1);
        base = 16;
    } else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        text = text.mid(2);
        base = 16;
    }
    bool ok = false;
    const std::uint32_t value = text.toUInt(&ok, base);
    return ok ? value & kColorMask : fallback;
}

QString DemoTargetName(const TQpDemoParams& params)
{
    return params.empty() ? QString() : params.front().Text.trimmed().toUpper();
}

bool ScreenCentre(const QWidget* widget, QPoint& point)
{
    if (!widget)
        return false;
    point = widget->mapToGlobal(widget->rect().center());
    return true;
}

namespace {

const TQpDemoWord* Find(const TQpDemoWords& words, const QString& prefix, const QString& word)
{
    if (prefix.isEmpty() || word.size() <= prefix.size() || !word.startsWith(prefix))
        return nullptr;
    const QStringView suffix = QStringView(word).mid(prefix.size());
    for (const TQpDemoWord& entry : words)
        if (suffix == QLatin1String(entry.Suffix))
            return &entry;
    return nullptr;
}

} // namespace

bool RunDemoWord(const TQpDemoWords& words, const QString& prefix, const QString& word,
                 const TQpDemoParams& params)
{
    const TQpDemoWord* entry = Find(words, prefix, word);
    if (!entry || !entry->Action)
        return false;
    entry->Action(params);
    return true;
}

bool DemoWordPoint(const TQpDemoWords& words, const QString& prefix, const TQpDemoParams& params,
                   QPoint& point)
{
    const TQpDemoWord* entry = Find(words, prefix, DemoTargetName(params));
    return entry && entry->Target && ScreenCentre(entry->Target, point);
}
