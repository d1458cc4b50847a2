#include "app/QtOptions.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// What QGuiApplication, QApplication and the xcb platform take out of the arguments (Qt 6).
constexpr std::array<std::string_view, 15> kWithValue {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "name",          "title",  "visual",
};
constexpr std::array<std::string_view, 4> kWithoutValue { "reverse", "widgetcount", "nograb",
                                                          "dograb" };

// The option's name without its dashes: Qt reads "--style" as "-style".
QString NameOf(const QString& argument)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("--"))
        return {};
    return argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
}

template<std::size_t N> bool IsIn(const std::array<std::string_view, N>& names, const QString& name)
{
    return std::any_of(names.begin(), names.end(), [&](std::string_view known) {
        return name == QLatin1String(known.data(), qsizetype(known.size()));
    });
}

// QApplication alone reads a style's value joined to its option.
bool IsJoinedStyle(const QString& name)
{
    return name.startsWith(QLatin1String("style="))
        || name.startsWith(QLatin1String("stylesheet="));
}

} // namespace

QtOptions QtOptions::Split(const QStringList& arguments)
{
    QtOptions split;
    if (!arguments.isEmpty())
        split.own << arguments.constFirst();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString name = NameOf(arguments[i]);
        const bool takesValue = IsIn(kWithValue, name);
        if (IsJoinedStyle(name) || IsIn(kWithoutValue, name))
            continue;
        if (takesValue && i + 1 < arguments.size())
            ++i; // its value, whatever it looks like, as Qt reads it
        else if (takesValue)
            split.missingValue = arguments[i];
        else
            split.own << arguments[i];
    }
    return split;
}
