#ifndef ENGINETESTENVIRONMENT_H
#define ENGINETESTENVIRONMENT_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// What the sound output and the engine need around them in a test: the class mutexes of the
// engine and the output; buffer settings and a folder of the test's own; SDL's disk driver; and a
// recorder of the pacing pauses and deadlines on a pacing clock of the test's own, so no test
// waits them out.
//
//   EngineTestEnvironment environment;      // in the test function, before any engine
//   environment.setBuffers(20, 6);          // bufferSize, bufferCount of the next engine
//   ...
//   QCOMPARE(EngineTestEnvironment::paces(), QList<int>({6, 6}));
class EngineTestEnvironment
{
public:
    // diskDelay: SDL_DISKAUDIODELAY in ms per written buffer (0: as fast as callbacks return).
    explicit EngineTestEnvironment(int diskDelay = 0);
    // Deletes what remains (engine, output) and the class mutexes.
    ~EngineTestEnvironment();

    // bufferSize and bufferCount from now on.
    void setBuffers(int size, int count);
    QString filePath(const QString &name) const { return dir.filePath(name); }

    // The sound SDL's disk driver wrote; complete once the device is closed.
    static QByteArray deviceSound();
    // The pacing pauses and deadlines asked for since the last call, in ms; takes them.
    static QList<int> paces();
    // Moves the pacing clock on; it stands still otherwise.
    static void passTime(int milliseconds);

private:
    QTemporaryDir dir;
};

#endif
