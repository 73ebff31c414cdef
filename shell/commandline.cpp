#include "commandline.h"

#include "localfilename.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void print(FILE *to, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

} // namespace

CommandLine::CommandLine()
{
    parser.setApplicationDescription(
        QStringLiteral("Vantrel Kivo Player: plays MP3 songs and shows their karaoke lyrics."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("A song (.mp3) or a list (.playlist, .m3u, .m3u8) to open at start."),
        QStringLiteral("[file]"));
}

bool CommandLine::read(int argc, char **argv)
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    if (!parser.parse(arguments)) {
        print(
            stderr,
            QStringLiteral("vantrelkivo: %1\nTry 'vantrelkivo --help'.\n").arg(parser.errorText()));
        code = 2;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, parser.helpText());
        return false;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("Vantrel Kivo Player 2.00.0000\n"));
        return false;
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return true;
    // The parser's text of a name that is not UTF-8 has lost its bytes; argv still has them.
    for (int index = 1; index < argc && file.isEmpty(); ++index) {
        if (arguments[index] == files.first())
            file = LocalFileName::decode(argv[index]);
    }
    if (file.isEmpty())
        file = files.first();
    return true;
}
