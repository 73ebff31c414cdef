#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QString>

// The player's command line, read once the toolkit has taken its own options out: --help and
// --version print and end the run without a window; the first argument that is not an option
// is the file to open, kept as the bytes it was given. A new option is its QCommandLineOption
// member and one addOption line in the constructor. GUI thread, before the event loop runs.
class CommandLine
{
public:
    CommandLine();

    // Reads argv (as the application left it: argc and argv hold what the toolkit did not
    // take). False when the run ends here: help or the version was printed on stdout, or a
    // mistake on stderr; exitCode() then says how the program ends.
    bool read(int argc, char **argv);
    int exitCode() const { return code; }
    bool hasFile() const { return !file.isEmpty(); }
    QString fileName() const { return file; }

private:
    QCommandLineParser parser;
    QString file;
    int code = 0;
};

#endif // COMMANDLINE_H
