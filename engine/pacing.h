#ifndef PACING_H
#define PACING_H

#include <QtGlobal>

// The paces of the engine. Rewind and fast forward keep theirs as deadlines: a step does not run
// before its time, and the GUI thread is free meanwhile. They go through here so that a test can
// note them and keep its own clock instead of waiting them out.
class Pacing
{
public:
    using Recorder = void (*)(int milliseconds);
    using Clock = qint64 (*)();

    // Now on the clock the deadlines are kept on, in ms: MonotonicClock unless a test set its own.
    static qint64 now();
    // The time milliseconds from now before which the next paced step does not run.
    static qint64 deadline(int milliseconds);
    // Installs recorder, which notes every deadline asked for; null: none. Any thread.
    static void setRecorder(Recorder recorder);
    // Installs clock in place of MonotonicClock; null puts it back. Any thread.
    static void setClock(Clock clock);
};

#endif
