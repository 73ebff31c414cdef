#ifndef PREFERENCES_H
#define PREFERENCES_H

#include "buffersettings.h"
#include "singleinstance.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRecursiveMutex>
#include <QString>

#include <memory>

// The one store of user settings, kept in step with its preferences file: every setter but the
// two playlist-window size setters rewrites the whole file. The file is one big-endian
// QDataStream record (stream version 3) that begins with the int 15.
// Any thread may call the store; in practice every caller is on the GUI thread, and the setters
// may show the "File ERROR" message box, which needs it. The store is the engine's buffer
// settings while it exists.
class Preferences : public BufferSettings
{
public:
    static constexpr const char *fileBaseName = "VantrelKivo.preferences";

    static Preferences *Instance(const QString &fileName);
    // The existing store, or a new one on the standard path.
    static Preferences *Instance();
    static bool hasAnInstance();
    // $XDG_CONFIG_HOME/VantrelKivo/VantrelKivo.preferences (~/.config when the variable is unset
    // or not absolute); creates the folder when it is missing.
    static QString standardFileName();
    // The preferences file this store reads and writes.
    QString file() const { return fileName; }

    ~Preferences();
    Preferences(const Preferences &) = delete;
    Preferences &operator=(const Preferences &) = delete;

    // Reads the whole record into the fields. False, with no field changed, when the file cannot
    // be opened, its tag is not 15, or the record is cut short or damaged. A window size or place
    // that no connected screen can show (ScreenLimits) reads as its default.
    bool readFile();
    // Writes the whole record; the old file is replaced only by a complete new one. False when
    // the file cannot be opened, written or put in place.
    bool writeFile();
    void setDefaults();
    // Puts the next-song buffer settings into effect. The file is not read again: a setting the
    // disk refused to store lives on in memory for the rest of the run.
    void reload() override;
    void reportWriteError();

    int mainWindowHeight() const;
    int mainWindowWidth() const;
    QPoint mainWindowPosition() const;
    int playlistWindowWidth() const;
    int playlistWindowHeight() const;
    QPoint playlistWindowPosition() const;
    bool playlistVisible() const;
    bool repeatPlaylist() const;
    bool autoPlay() const;
    bool disableScreenSaver() const;
    QFont lyricsFont() const;
    QColor normalColor() const;
    QColor highlightColor() const;
    QColor backgroundColor() const;
    QString lastDirectory() const;
    QString lastFile() const;
    int bufferSize() const override;
    int bufferCount() const override;
    int nextBufferSize() const;
    int nextBufferCount() const;
    QString mp3DecoderModule() const;
    QString interactiveMediaModule() const;
    QString soundOutputModule() const;

    void setMainWindowHeight(int height);
    void setMainWindowWidth(int width);
    void setMainWindowPosition(int x, int y);
    // The playlist window's size is kept in memory only; the next write stores it.
    void setPlaylistWindowWidth(int width);
    void setPlaylistWindowHeight(int height);
    void setPlaylistWindowPosition(int x, int y);
    void setPlaylistVisible(bool visible);
    void setRepeatPlaylist(bool repeat);
    void setAutoPlay(bool autoPlay);
    void setDisableScreenSaver(bool disable);
    void setLyricsFont(const QFont &font);
    void setNormalColor(const QColor &color);
    void setHighlightColor(const QColor &color);
    void setBackgroundColor(const QColor &color);
    void setLastDirectory(const QString &directory);
    // Keeps only the text after the last "\" of path; a path without one is kept whole.
    void setLastFile(const QString &path);
    void setNextBufferSize(int size);
    void setNextBufferCount(int count);
    void setMp3DecoderModule(const QString &name);
    void setInteractiveMediaModule(const QString &name);
    void setSoundOutputModule(const QString &name);

private:
    friend class SingleInstance<Preferences>;
    static constexpr InstanceRules instanceRules = {};

    // Every setting, in declaration order; a read fills a copy and takes it only when complete.
    struct Fields
    {
        int mainWindowHeight = 0;
        int mainWindowWidth = 0;
        QString mp3DecoderModule;
        QString interactiveMediaModule;
        QString soundOutputModule;
        int bufferCount = 0; // in effect for the song being set up; not stored
        int bufferSize = 0;  // in effect, in decoded frames; not stored
        QString lastFile;
        QString lastDirectory;
        int nextBufferCount = 0;
        int nextBufferSize = 0;
        QColor highlightColor;
        QColor normalColor;
        QColor backgroundColor;
        QFont lyricsFont;
        QPoint mainWindowPosition;
        QPoint playlistWindowPosition;
        int playlistWindowWidth = 0;
        int playlistWindowHeight = 0;
        bool playlistVisible = false;
        bool repeatPlaylist = false;
        bool autoPlay = false;
        bool disableScreenSaver = false;
    };

    explicit Preferences(const QString &fileName);

    template <class Value> Value get(const Value &field) const;
    // Assigns and writes the file, reporting a failed write, all under mutex.
    template <class Value> void change(Value &field, const Value &value);
    // Visits fields 2 to 22 of the file record, in file order.
    template <class AnyFields, class Visit>
    static void eachStoredField(AnyFields &fields, Visit &&visit);
    void readOrDefault();
    static void keepWindowsOnScreen(Fields &read);
    void putBuffersInEffect();

    Fields fields;
    QString fileName;
    std::unique_ptr<QRecursiveMutex> mutex;
};

#endif // PREFERENCES_H
