#include "enginetestenvironment.h"

#include "mp3object.h"
#include "pacing.h"
#include "preferences.h"
#include "singleinstance.h"
#include "soundoutput.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex sleepsLock;
QList<int> recordedSleeps; // guarded by sleepsLock

void recordSleep(int milliseconds)
{
    QMutexLocker locker(&sleepsLock); // guards recordedSleeps
    recordedSleeps << milliseconds;
}

QString diskFile()
{
    return qEnvironmentVariable("SDL_DISKAUDIOFILE");
}
} // namespace

EngineTestEnvironment::EngineTestEnvironment(int diskDelay)
{
    qputenv("SDL_AUDIODRIVER", "disk");
    if (diskFile().isEmpty())
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(QDir::current().filePath("sdlaudio.raw")));
    if (diskDelay < 0)
        qunsetenv("SDL_DISKAUDIODELAY");
    else
        qputenv("SDL_DISKAUDIODELAY", QByteArray::number(diskDelay));

    SingleInstance<Preferences>::createClassMutex();
    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    Preferences::Instance(dir.filePath(QLatin1String(Preferences::fileBaseName)));
    audioFeedActive = false;
    sleeps();
    Pacing::setSleeper(recordSleep);
}

EngineTestEnvironment::~EngineTestEnvironment()
{
    // The engine first: it owns the output.
    SingleInstance<MP3Object>::destroy();
    SingleInstance<SoundOutput>::destroy();
    SingleInstance<Preferences>::destroy();
    Pacing::setSleeper(nullptr);
    audioFeedActive = false;
}

void EngineTestEnvironment::setBuffers(int size, int count)
{
    Preferences *preferences = Preferences::Instance();
    preferences->setNextBufferSize(size);
    preferences->setNextBufferCount(count);
    preferences->reload();
}

QByteArray EngineTestEnvironment::deviceSound()
{
    QFile file(diskFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<int> EngineTestEnvironment::sleeps()
{
    QMutexLocker locker(&sleepsLock); // guards recordedSleeps
    return std::exchange(recordedSleeps, {});
}

QByteArray withoutSilenceAround(const QByteArray &data)
{
    qsizetype begin = 0;
    qsizetype end = data.size();
    while (begin < end && data[begin] == '\0')
        ++begin;
    while (end > begin && data[end - 1] == '\0')
        --end;
    return data.mid(begin, end - begin);
}
