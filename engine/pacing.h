#ifndef PACING_H
#define PACING_H

// The pauses that pace the engine on the GUI thread: a rewind step, a fast-forwarded buffer, the
// settling of the sound device. They go through one function so that a test can count them
// instead of waiting them out; the audio callback's own 40 ms poll is not one of them.
class Pacing
{
public:
    using Sleeper = void (*)(int milliseconds);

    // Blocks the calling thread for milliseconds (or does what the installed sleeper does).
    static void sleep(int milliseconds);
    // Installs sleeper; null puts the real sleep back. Safe on any thread.
    static void setSleeper(Sleeper sleeper);
};

#endif
