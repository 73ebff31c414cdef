#include "preferences.h"

#include "screenlimits.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSaveFile>
#include <QSize>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>

namespace {

constexpr qint32 formatTag = 15;

// The windows' sizes and places at first start, and in place of any a file holds that no
// screen can show.
constexpr QSize mainWindowSize(500, 250);
constexpr QSize playlistWindowSize(250, 250);
constexpr QPoint mainWindowPlace(10, 10);
constexpr QPoint playlistWindowPlace(10, 300);

// Bools go out as the ints 1 or 0 and come back true for any non-zero int; colours as one 32-bit
// value 0xffRRGGBB of which reading keeps the low 24 bits; the rest as Qt writes them at stream
// version 3.
struct RecordWriter
{
    QDataStream &out;

    void operator()(bool flag) { out << qint32(flag ? 1 : 0); }
    void operator()(int value) { out << qint32(value); }
    void operator()(const QColor &color) { out << quint32(color.rgb()); }
    template <class Value> void operator()(const Value &value) { out << value; }
};

// Reads nothing further once the stream has failed, and refuses a string (or a font's family)
// whose length prefix claims more bytes than the file still holds, so a damaged file never
// makes us allocate more than its own size.
struct RecordReader
{
    QDataStream &in;

    void operator()(bool &flag)
    {
        qint32 value = 0;
        if (readable())
            in >> value;
        flag = value != 0;
    }
    void operator()(int &value)
    {
        qint32 read = 0;
        if (readable())
            in >> read;
        value = read;
    }
    void operator()(QColor &color)
    {
        quint32 rgb = 0;
        if (readable())
            in >> rgb;
        color = QColor(QRgb(rgb & 0xffffff));
    }
    void operator()(QPoint &point)
    {
        if (readable())
            in >> point;
    }
    void operator()(QString &text)
    {
        if (readable() && lengthPrefixFits())
            in >> text;
    }
    void operator()(QFont &font)
    {
        if (readable() && lengthPrefixFits())
            in >> font;
    }

    bool readable() const { return in.status() == QDataStream::Ok; }

    bool lengthPrefixFits()
    {
        QIODevice *device = in.device();
        const QByteArray prefix = device->peek(4);
        if (prefix.size() == 4) {
            const quint32 bytes = qFromBigEndian<quint32>(prefix.constData());
            if (bytes == 0xffffffffu || bytes <= quint64(device->bytesAvailable() - 4))
                return true;
        }
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
};

QString defaultLastDirectory()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!music.isEmpty() && QDir(music).exists())
        return music + QLatin1Char('/');
    return QDir::homePath() + QLatin1Char('/');
}

} // namespace

template <class AnyFields, class Visit>
void Preferences::eachStoredField(AnyFields &fields, Visit &&visit)
{
    visit(fields.playlistVisible);
    visit(fields.repeatPlaylist);
    visit(fields.autoPlay);
    visit(fields.disableScreenSaver);
    visit(fields.mainWindowPosition);
    visit(fields.playlistWindowPosition);
    visit(fields.mp3DecoderModule);
    visit(fields.interactiveMediaModule);
    visit(fields.soundOutputModule);
    visit(fields.backgroundColor);
    visit(fields.nextBufferSize);
    visit(fields.highlightColor);
    visit(fields.lastDirectory);
    visit(fields.lastFile);
    visit(fields.normalColor);
    visit(fields.lyricsFont);
    visit(fields.nextBufferCount);
    visit(fields.mainWindowHeight);
    visit(fields.mainWindowWidth);
    visit(fields.playlistWindowWidth);
    visit(fields.playlistWindowHeight);
}

Preferences *Preferences::Instance(const QString &fileName)
{
    return SingleInstance<Preferences>::obtain(instanceRules, fileName);
}

Preferences *Preferences::Instance()
{
    if (Preferences *existing = SingleInstance<Preferences>::existing(instanceRules))
        return existing;
    return Instance(standardFileName());
}

bool Preferences::hasAnInstance()
{
    return SingleInstance<Preferences>::hasAnInstance(instanceRules);
}

QString Preferences::standardFileName()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QLatin1String("/.config");
    const QString folder = config + QLatin1String("/VantrelKivo");
    QDir().mkpath(folder); // a failure shows when the file is written
    return folder + QLatin1Char('/') + QLatin1String(fileBaseName);
}

Preferences::Preferences(const QString &fileName)
    : fileName(fileName), mutex(std::make_unique<QRecursiveMutex>())
{
    QMutexLocker locker(mutex.get()); // guards the fields while they are first filled
    readOrDefault();
    BufferSettings::install(this);
}

Preferences::~Preferences()
{
    SingleInstance<Preferences>::DestructorLock classLock(this); // guards the instance pointer
    BufferSettings::uninstall(this);
    mutex.reset();
}

void Preferences::readOrDefault()
{
    QMutexLocker locker(mutex.get()); // guards the fields
    if (!readFile())
        setDefaults();
    putBuffersInEffect();
}

void Preferences::putBuffersInEffect()
{
    QMutexLocker locker(mutex.get()); // guards the fields
    fields.bufferSize = std::clamp(fields.nextBufferSize, minBufferSize, maxBufferSize);
    fields.bufferCount = std::clamp(fields.nextBufferCount, minBufferCount, maxBufferCount);
}

bool Preferences::readFile()
{
    QMutexLocker locker(mutex.get()); // guards the fields and the file
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_2_1);
    qint32 tag = 0;
    in >> tag;
    if (in.status() != QDataStream::Ok || tag != formatTag)
        return false;
    Fields read = fields;
    eachStoredField(read, RecordReader{in});
    if (in.status() != QDataStream::Ok)
        return false;
    keepWindowsOnScreen(read);
    fields = read;
    return true;
}

// Each size or place no screen can show is replaced by its default, field by field; the file
// keeps what it holds until the next write.
void Preferences::keepWindowsOnScreen(Fields &read)
{
    const ScreenLimits limits;
    const auto fit = [](int &value, bool fits, int fallback) { value = fits ? value : fallback; };
    fit(read.mainWindowWidth, limits.widthFits(read.mainWindowWidth), mainWindowSize.width());
    fit(read.mainWindowHeight, limits.heightFits(read.mainWindowHeight), mainWindowSize.height());
    fit(read.playlistWindowWidth, limits.widthFits(read.playlistWindowWidth),
        playlistWindowSize.width());
    fit(read.playlistWindowHeight, limits.heightFits(read.playlistWindowHeight),
        playlistWindowSize.height());
    if (!limits.onSomeScreen(read.mainWindowPosition))
        read.mainWindowPosition = mainWindowPlace;
    if (!limits.onSomeScreen(read.playlistWindowPosition))
        read.playlistWindowPosition = playlistWindowPlace;
}

bool Preferences::writeFile()
{
    QMutexLocker locker(mutex.get()); // guards the fields and the file
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_2_1);
    out << formatTag;
    eachStoredField(std::as_const(fields), RecordWriter{out});

    // Unbuffered, so that a short write (a full disk) shows in write()'s count: a buffered
    // QSaveFile would commit a truncated file when its final flush falls short.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(record) != record.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void Preferences::setDefaults()
{
    QMutexLocker locker(mutex.get()); // guards the fields and the file
    fields.mainWindowWidth = mainWindowSize.width();
    fields.mainWindowHeight = mainWindowSize.height();
    fields.playlistWindowWidth = playlistWindowSize.width();
    fields.playlistWindowHeight = playlistWindowSize.height();
    fields.nextBufferCount = 20;
    fields.mp3DecoderModule = QStringLiteral("KWO MP3 Decoder");
    fields.interactiveMediaModule = QStringLiteral("KWO Interactive Content Decoder");
    fields.soundOutputModule = QStringLiteral("SDL 1.0.8 Sound Output");
    fields.lyricsFont = QFont(QStringLiteral("Arial"), 20, QFont::Bold);
    fields.normalColor = Qt::white;
    fields.lastFile = QLatin1String("");
    fields.lastDirectory = defaultLastDirectory();
    fields.highlightColor = Qt::red;
    fields.nextBufferSize = 20;
    fields.backgroundColor = Qt::black;
    fields.playlistVisible = false;
    fields.repeatPlaylist = false;
    fields.autoPlay = true;
    fields.disableScreenSaver = true;
    fields.mainWindowPosition = mainWindowPlace;
    fields.playlistWindowPosition = playlistWindowPlace;
    if (!writeFile())
        reportWriteError();
}

void Preferences::reload()
{
    putBuffersInEffect();
}

void Preferences::reportWriteError()
{
    QMessageBox::warning(nullptr, QStringLiteral("File ERROR"),
                         QLatin1String("Unable to write to the file: ") + fileName +
                             QLatin1String(" Please check to see if you have write permision "
                                           "to this file"));
}

template <class Value> Value Preferences::get(const Value &field) const
{
    QMutexLocker locker(mutex.get()); // guards the fields
    return field;
}

template <class Value> void Preferences::change(Value &field, const Value &value)
{
    QMutexLocker locker(mutex.get()); // guards the fields and the file
    field = value;
    if (!writeFile())
        reportWriteError();
}

int Preferences::mainWindowHeight() const
{
    return get(fields.mainWindowHeight);
}
int Preferences::mainWindowWidth() const
{
    return get(fields.mainWindowWidth);
}
QPoint Preferences::mainWindowPosition() const
{
    return get(fields.mainWindowPosition);
}
int Preferences::playlistWindowWidth() const
{
    return get(fields.playlistWindowWidth);
}
int Preferences::playlistWindowHeight() const
{
    return get(fields.playlistWindowHeight);
}
QPoint Preferences::playlistWindowPosition() const
{
    return get(fields.playlistWindowPosition);
}
bool Preferences::playlistVisible() const
{
    return get(fields.playlistVisible);
}
bool Preferences::repeatPlaylist() const
{
    return get(fields.repeatPlaylist);
}
bool Preferences::autoPlay() const
{
    return get(fields.autoPlay);
}
bool Preferences::disableScreenSaver() const
{
    return get(fields.disableScreenSaver);
}
QFont Preferences::lyricsFont() const
{
    return get(fields.lyricsFont);
}
QColor Preferences::normalColor() const
{
    return get(fields.normalColor);
}
QColor Preferences::highlightColor() const
{
    return get(fields.highlightColor);
}
QColor Preferences::backgroundColor() const
{
    return get(fields.backgroundColor);
}
QString Preferences::lastDirectory() const
{
    return get(fields.lastDirectory);
}
QString Preferences::lastFile() const
{
    return get(fields.lastFile);
}
int Preferences::bufferSize() const
{
    return get(fields.bufferSize);
}
int Preferences::bufferCount() const
{
    return get(fields.bufferCount);
}
int Preferences::nextBufferSize() const
{
    return get(fields.nextBufferSize);
}
int Preferences::nextBufferCount() const
{
    return get(fields.nextBufferCount);
}
QString Preferences::mp3DecoderModule() const
{
    return get(fields.mp3DecoderModule);
}
QString Preferences::interactiveMediaModule() const
{
    return get(fields.interactiveMediaModule);
}
QString Preferences::soundOutputModule() const
{
    return get(fields.soundOutputModule);
}

void Preferences::setMainWindowHeight(int height)
{
    change(fields.mainWindowHeight, height);
}
void Preferences::setMainWindowWidth(int width)
{
    change(fields.mainWindowWidth, width);
}

void Preferences::setMainWindowPosition(int x, int y)
{
    change(fields.mainWindowPosition, QPoint(x, y));
}

void Preferences::setPlaylistWindowWidth(int width)
{
    QMutexLocker locker(mutex.get()); // guards the fields
    fields.playlistWindowWidth = width;
}

void Preferences::setPlaylistWindowHeight(int height)
{
    QMutexLocker locker(mutex.get()); // guards the fields
    fields.playlistWindowHeight = height;
}

void Preferences::setPlaylistWindowPosition(int x, int y)
{
    change(fields.playlistWindowPosition, QPoint(x, y));
}

void Preferences::setPlaylistVisible(bool visible)
{
    change(fields.playlistVisible, visible);
}
void Preferences::setRepeatPlaylist(bool repeat)
{
    change(fields.repeatPlaylist, repeat);
}
void Preferences::setAutoPlay(bool autoPlay)
{
    change(fields.autoPlay, autoPlay);
}
void Preferences::setDisableScreenSaver(bool disable)
{
    change(fields.disableScreenSaver, disable);
}
void Preferences::setLyricsFont(const QFont &font)
{
    change(fields.lyricsFont, font);
}
void Preferences::setNormalColor(const QColor &color)
{
    change(fields.normalColor, color);
}
void Preferences::setHighlightColor(const QColor &color)
{
    change(fields.highlightColor, color);
}
void Preferences::setBackgroundColor(const QColor &color)
{
    change(fields.backgroundColor, color);
}

void Preferences::setLastDirectory(const QString &directory)
{
    change(fields.lastDirectory, directory);
}

void Preferences::setLastFile(const QString &path)
{
    change(fields.lastFile, path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1));
}

void Preferences::setNextBufferSize(int size)
{
    change(fields.nextBufferSize, size);
}
void Preferences::setNextBufferCount(int count)
{
    change(fields.nextBufferCount, count);
}
void Preferences::setMp3DecoderModule(const QString &name)
{
    change(fields.mp3DecoderModule, name);
}

void Preferences::setInteractiveMediaModule(const QString &name)
{
    change(fields.interactiveMediaModule, name);
}

void Preferences::setSoundOutputModule(const QString &name)
{
    change(fields.soundOutputModule, name);
}
