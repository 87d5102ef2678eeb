#include "windowoptions.h"

#include <QCommandLineParser>

std::optional<WindowOptions> WindowOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    const QCommandLineOption help({"h", "help"}, QString());
    const QCommandLineOption version("version", QString());
    parser.addOptions({help, version});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    WindowOptions options;
    if (parser.isSet(help)) {
        options.action = Action::Help;
        return options;
    }
    if (parser.isSet(version)) {
        options.action = Action::Version;
        return options;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        *error = QStringLiteral("one port at most: '%1'").arg(positional.join(QStringLiteral("' '")));
        return std::nullopt;
    }
    options.port = positional.value(0);
    return options;
}

QString WindowOptions::helpText()
{
    return QStringLiteral(
        "Usage: ravelo [OPTION]... [PORT]\n"
        "Show, record and plot the readings of the multimeter on a serial port\n"
        "(9600 8N1), press its keys, export the readings to Excel, PDF or paper.\n"
        "\n"
        "With PORT (/dev/ttyUSB0, ttyUSB0, COM3) the window opens that port at start,\n"
        "as Set up > Serial port settings and File > Open the serial port would; a\n"
        "port that does not open says why in the status bar. Without PORT, choose\n"
        "one in those menus.\n"
        "\n"
        "  -h, --help     display this help and exit\n"
        "      --version  output version information and exit\n"
        "\n"
        "Qt's own options (-platform, -style, -reverse ...) are taken as well.\n"
        "\n"
        "Exit status: 0, or 2 for wrong usage.\n"
        "\n"
        "Examples:\n"
        "  ravelo /dev/ttyUSB0\n"
        "  ravelo /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5ZQ3-if00-port0\n");
}

QString WindowOptions::versionText(const QString &version)
{
    return QStringLiteral("ravelo %1\n").arg(version);
}
