#ifndef RECURSIVEMUTEX_H
#define RECURSIVEMUTEX_H

#include <QRecursiveMutex>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define KIVO_TSAN_ACQUIRE(address) __tsan_acquire(address)
#define KIVO_TSAN_RELEASE(address) __tsan_release(address)
#else
#define KIVO_TSAN_ACQUIRE(address) ((void)(address))
#define KIVO_TSAN_RELEASE(address) ((void)(address))
#endif

// A QRecursiveMutex that ThreadSanitizer can see. Qt's recursive mutex locks inside the Qt
// library, which is built without the sanitizer, so a sanitizer build would report races
// between sections that are in fact locked. Used through QMutexLocker like its base; outside a
// sanitizer build it adds nothing.
class RecursiveMutex : public QRecursiveMutex
{
public:
    void lock()
    {
        QRecursiveMutex::lock();
        KIVO_TSAN_ACQUIRE(this);
    }
    bool tryLock(int timeout = 0)
    {
        const bool locked = QRecursiveMutex::tryLock(timeout);
        if (locked)
            KIVO_TSAN_ACQUIRE(this);
        return locked;
    }
    void unlock()
    {
        KIVO_TSAN_RELEASE(this);
        QRecursiveMutex::unlock();
    }
};

#endif
