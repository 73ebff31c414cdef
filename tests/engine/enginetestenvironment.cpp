#include "enginetestenvironment.h"

#include "buffersettings.h"
#include "mp3object.h"
#include "pacing.h"
#include "singleinstance.h"
#include "soundoutput.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace {
// Settings of the test's own in place of the preferences store.
class TestBufferSettings : public BufferSettings
{
public:
    void reload() override {}
    int bufferSize() const override { return size; }
    int bufferCount() const override { return count; }
    int size = minBufferSize;
    int count = minBufferCount;
};
TestBufferSettings settings;

QMutex pacesLock;
QList<int> recordedPaces; // guarded by pacesLock
std::atomic<qint64> pacingNow{0};

void recordPace(int milliseconds)
{
    QMutexLocker locker(&pacesLock); // guards recordedPaces
    recordedPaces << milliseconds;
}

qint64 pacingClock()
{
    return pacingNow;
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
    qputenv("SDL_DISKAUDIODELAY", QByteArray::number(diskDelay));

    SingleInstance<MP3Object>::createClassMutex();
    SingleInstance<SoundOutput>::createClassMutex();
    settings = TestBufferSettings();
    BufferSettings::install(&settings);
    audioFeedActive = false;
    paces();
    Pacing::setRecorder(recordPace);
    Pacing::setClock(pacingClock);
}

EngineTestEnvironment::~EngineTestEnvironment()
{
    // The engine first: it leaves the output idle.
    SingleInstance<MP3Object>::destroy();
    SingleInstance<SoundOutput>::destroy();
    BufferSettings::uninstall(&settings);
    Pacing::setRecorder(nullptr);
    Pacing::setClock(nullptr);
    audioFeedActive = false;
}

void EngineTestEnvironment::setBuffers(int size, int count)
{
    settings.size = size;
    settings.count = count;
}

QByteArray EngineTestEnvironment::deviceSound()
{
    QFile file(diskFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<int> EngineTestEnvironment::paces()
{
    QMutexLocker locker(&pacesLock); // guards recordedPaces
    return std::exchange(recordedPaces, {});
}

void EngineTestEnvironment::passTime(int milliseconds)
{
    pacingNow += milliseconds;
}
