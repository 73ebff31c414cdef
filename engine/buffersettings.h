#ifndef BUFFERSETTINGS_H
#define BUFFERSETTINGS_H

// Where the engine finds its sound-buffer settings: frames per buffer and buffers per song. The
// program installs the preferences store here; tests install settings of their own. With none
// installed the engine plays with the smallest settings.
class BufferSettings
{
public:
    // Limits of the settings put into effect: beyond them the sound device's 16-bit sample count
    // and the engine's buffer arithmetic overflow.
    static constexpr int minBufferSize = 1;
    static constexpr int maxBufferSize = 56;
    static constexpr int minBufferCount = 6;
    static constexpr int maxBufferCount = 40;

    // Called on the GUI thread, like every use of the settings.
    static BufferSettings *installed();
    static void install(BufferSettings *settings);
    // Removes settings if they are the installed ones.
    static void uninstall(BufferSettings *settings);

    virtual ~BufferSettings() = default;

    // Puts the settings chosen for the next song into effect; called as a song's engine is built.
    virtual void reload() = 0;
    virtual int bufferSize() const = 0;
    virtual int bufferCount() const = 0;
};

#endif
