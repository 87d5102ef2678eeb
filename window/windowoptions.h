#ifndef WINDOWOPTIONS_H
#define WINDOWOPTIONS_H

#include <QString>
#include <QStringList>

#include <optional>

// The window's command line: `ravelo [PORT]`, `--help`, `--version`.
struct WindowOptions
{
    enum class Action { Run, Help, Version };

    Action action = Action::Run;
    // The port to open at start, as if chosen and opened in the menus;
    // empty: none.
    QString port;

    // `arguments` with the program's name first, Qt's own options taken out.
    // Empty with the reason in *error for wrong usage.
    static std::optional<WindowOptions> parse(const QStringList &arguments, QString *error);
    static QString helpText();
    static QString versionText(const QString &version);
};

#endif // WINDOWOPTIONS_H
