#include "app/RemoteCommand.h"

#include "app/CommandRequest.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#ifdef MIRELIGHT_COMMAND_SERVER
#include "app/CCommandServer.h"

#include <QLocalSocket>
#endif

#include <cstdio>

using mirelight::remote::Request;

namespace {

constexpr int kNotConfirmed = 1;
constexpr int kBadArguments = 2;
constexpr int kNotRunning = 3;
constexpr int kConnectTimeoutMs = 1000;
// A press waits behind the operation in progress; a join's search alone takes ten seconds.
constexpr int kAnswerTimeoutMs = 120000;

void Print(std::FILE* stream, const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
}

int BadArguments(const QCommandLineParser& parser, const QString& why)
{
    Print(stderr, why);
    std::fputs(qPrintable(parser.helpText()), stderr);
    return kBadArguments;
}

#ifdef MIRELIGHT_COMMAND_SERVER
// Prints what the instance answered; the exit code.
int Report(const Request& request, const QString& answer)
{
    const qsizetype blank = answer.indexOf(QLatin1Char(' '));
    const QString verdict = answer.left(blank);
    const QString text = blank < 0 ? QString() : answer.mid(blank + 1);
    if (verdict == QLatin1String("error")) {
        Print(stderr, QStringLiteral("Mirelight refused the request: ") + text);
        return kNotConfirmed;
    }
    if (request.kind == Request::Kind::Status) {
        // "open joined <status text>"
        const QStringList parts = text.split(QLatin1Char(' '));
        Print(stdout, parts.mid(2).join(QLatin1Char(' ')));
        Print(stdout, QStringLiteral("port: ") + parts.value(0));
        Print(stdout, QStringLiteral("network: ") + parts.value(1));
    } else if (!text.isEmpty()) {
        Print(stdout, text);
    }
    return verdict == QLatin1String("ok") ? 0 : kNotConfirmed;
}

int Send(const Request& request)
{
    QLocalSocket socket;
    socket.connectToServer(CCommandServer::SocketPath());
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        Print(stderr, QStringLiteral("Mirelight is not running"));
        return kNotRunning;
    }
    socket.write(QByteArray::fromStdString(mirelight::remote::RequestLine(request)));
    while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerTimeoutMs)) { }
    if (!socket.canReadLine()) {
        Print(stderr, QStringLiteral("Mirelight ended before it answered"));
        return kNotConfirmed;
    }
    return Report(request, QString::fromUtf8(socket.readLine().chopped(1)));
}
#else
// Built with a Qt that has no local sockets (its Network module): nothing can reach the
// running instance, which listens for nothing either.
int Send(const Request& /*request*/)
{
    Print(stderr,
          QStringLiteral("This Mirelight was built without Qt Network: --press, --show and "
                         "--status are not available."));
    return kBadArguments;
}
#endif

// Sends the command the options name and returns the exit code; nothing when they name none.
std::optional<int> SendCommand(const QCommandLineParser& parser)
{
    const bool press = parser.isSet(QStringLiteral("press"));
    const bool show = parser.isSet(QStringLiteral("show"));
    const bool status = parser.isSet(QStringLiteral("status"));
    if (!press && !show && !status)
        return std::nullopt;
    if (int(press) + int(show) + int(status) > 1)
        return BadArguments(parser, QStringLiteral("Give one command at a time."));
    if (show)
        return Send(Request { Request::Kind::Show });
    if (status)
        return Send(Request { Request::Kind::Status });
    bool ok = false;
    const int button = parser.value(QStringLiteral("press")).toInt(&ok);
    if (!ok || button < 1 || button > 8)
        return BadArguments(parser, QStringLiteral("--press takes a button from 1 to 8."));
    return Send(Request { Request::Kind::Press, button });
}

} // namespace

std::optional<int> RunCommandLine(int argc, char** argv, bool& verbose)
{
    verbose = false;
    if (argc <= 1)
        return std::nullopt; // the program, as always
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mirelight"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MIRELIGHT_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A ZigBee light switch for the desktop."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        { QStringLiteral("press"),
          QStringLiteral("Press button <N> (1 to 8) of the running Mirelight, as a click does."),
          QStringLiteral("N") },
        { QStringLiteral("show"), QStringLiteral("Show the running Mirelight's panel.") },
        { QStringLiteral("status"),
          QStringLiteral("Print the running Mirelight's status, port and network.") },
        { QStringLiteral("verbose"),
          QStringLiteral("Log every line to and from the dongle and every operation, with "
                         "millisecond timestamps (as QT_LOGGING_RULES=\"mirelight.*.debug=true\" "
                         "does).") },
    });
    if (!parser.parse(QCoreApplication::arguments()))
        return BadArguments(parser, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return BadArguments(parser,
                            QStringLiteral("Unexpected argument: ")
                                + parser.positionalArguments().constFirst());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Print(stdout, QStringLiteral("mirelight ") + QCoreApplication::applicationVersion());
        return 0;
    }
    verbose = parser.isSet(QStringLiteral("verbose"));
    return SendCommand(parser);
}
