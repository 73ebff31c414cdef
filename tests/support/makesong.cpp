// makesong PATH SECONDS: writes a 440 Hz sine of that length as an MP3 file, for tests that run
// the installed programs from a shell script.
#include "mp3fixtures.h"

#include <QString>

#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    Mp3Fixtures::Sine sine;
    sine.seconds = std::atof(argv[2]);
    return Mp3Fixtures::writeSine(QString::fromLocal8Bit(argv[1]), sine) ? 0 : 1;
}
