#include "app/RemoteCommand.h"

#include "app/QtOptions.h"
#include "network/PanelSettings.h"
#include "outlets/CCommandServer.h"
#include "outlets/RemoteProtocol.h"
#include "platform/PeerCredentials.h"
#include "platform/SerialPortList.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocalSocket>

#include <algorithm>
#include <cstdio>

using mirelight::remote::Answer;
using mirelight::remote::Request;

namespace {

constexpr int kNotConfirmed = 1;
constexpr int kBadArguments = 2;
constexpr int kNotRunning = 3;
constexpr int kBusy = 4;
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

// Prints what the instance answered; the exit code.
int Report(const Request& request, const Answer& answer)
{
    const QString text = QString::fromStdString(answer.text);
    switch (answer.verdict) {
    case Answer::Verdict::Error:
        Print(stderr, QStringLiteral("Mirelight refused the request: ") + text);
        return kNotConfirmed;
    case Answer::Verdict::Busy:
        Print(stderr, QStringLiteral("Mirelight is busy (%1); try again shortly").arg(text));
        return kBusy;
    case Answer::Verdict::Ok:
    case Answer::Verdict::Failed:
        break;
    }
    if (request.kind == Request::Kind::Status) {
        Print(stdout, text);
        Print(stdout, QLatin1String(answer.portOpen ? "port: open" : "port: closed"));
        Print(stdout, QLatin1String(answer.networkUp ? "network: joined" : "network: not-joined"));
        Print(stdout,
              QString::fromStdString(mirelight::SerialPortListText(mirelight::ListSerialPorts())));
    } else if (!text.isEmpty()) {
        Print(stdout, text);
    }
    return answer.verdict == Answer::Verdict::Ok ? 0 : kNotConfirmed;
}

int Send(const Request& request)
{
    QLocalSocket socket;
    socket.connectToServer(CCommandServer::SocketPath());
    if (!socket.waitForConnected(kConnectTimeoutMs)) {
        Print(stderr, QStringLiteral("Mirelight is not running"));
        return kNotRunning;
    }
    if (!IsSameUserServer(socket.socketDescriptor())) {
        Print(stderr,
              QStringLiteral("Mirelight is not running: another user's program holds its "
                             "command socket"));
        return kNotRunning;
    }
    socket.write(QByteArray::fromStdString(mirelight::remote::FormatRequest(request)));
    while (!socket.canReadLine() && socket.waitForReadyRead(kAnswerTimeoutMs)) { }
    const QByteArray line = socket.canReadLine() ? socket.readLine().chopped(1) : QByteArray();
    const auto answer = mirelight::remote::ParseAnswer(
        request.kind, std::string_view(line.constData(), line.size()));
    if (!answer) {
        Print(stderr, QStringLiteral("Mirelight ended before it answered"));
        return kNotConfirmed;
    }
    return Report(request, *answer);
}

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
    if (!ok || button < 1 || button > mirelight::kButtonCount)
        return BadArguments(
            parser,
            QStringLiteral("--press takes a button from 1 to %1.").arg(mirelight::kButtonCount));
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
    parser.setApplicationDescription(
        QStringLiteral("A ZigBee light switch for the desktop.\n"
                       "Qt's own options (-platform, -style, -stylesheet, -reverse, -display, "
                       "-qwindowgeometry, -session and the like) go to Qt."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        { QStringLiteral("press"),
          QStringLiteral("Press button <N> (1 to %1) of the running Mirelight, as a click does.")
              .arg(mirelight::kButtonCount),
          QStringLiteral("N") },
        { QStringLiteral("show"), QStringLiteral("Show the running Mirelight's panel.") },
        { QStringLiteral("status"),
          QStringLiteral("Print the running Mirelight's status, port and network.") },
        { QStringLiteral("verbose"),
          QStringLiteral("Log every line to and from the dongle and every operation, with "
                         "millisecond timestamps (as QT_LOGGING_RULES=\"mirelight.*.debug=true\" "
                         "does).") },
    });
    // Qt's options are for the QApplication that the program runs; a command ignores them.
    QtOptions split = QtOptions::Split(QCoreApplication::arguments());
    if (!split.missingValue.isEmpty())
        return BadArguments(parser,
                            QStringLiteral("Missing value after '%1'.").arg(split.missingValue));
    // Windows' own way of asking a program for help.
    std::replace(split.own.begin(), split.own.end(), QStringLiteral("/?"),
                 QStringLiteral("--help"));
    if (!parser.parse(split.own))
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
