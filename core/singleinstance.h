#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QtGlobal>

#include <atomic>
#include <new>
#include <utility>

// What a single-instance class says about itself: its warning texts (null: silent) and two
// flags. A class states them once, next to its accessors:
//
//     static constexpr InstanceRules instanceRules = {
//         "Unable to make a new PlayListMenu!",               // constructionFailed
//         "Did not have an instance of PlayListMenu! ...",    // noInstance
//         "Instance Called without a MUTEX to lock in ...",   // instanceWithoutMutex
//         "hasAnInstance Called without a MUTEX to lock in ...", // hasAnInstanceWithoutMutex
//         true,                                               // instanceNeedsMutex
//     };
//
// Plain defaults ({}): both Instance forms and hasAnInstance lock the class mutex without checking
// that it exists (they are meant to be called only while the class mutexes exist; without one
// they run unlocked), and nothing is warned.
struct InstanceRules
{
    // Warned when allocating or constructing the instance yields nothing.
    const char *constructionFailed = nullptr;
    // Warned by Instance() without construction data while no instance exists.
    const char *noInstance = nullptr;
    // Warned by both Instance forms, before returning null, when instanceNeedsMutex is set and the
    // class mutex is missing.
    const char *instanceWithoutMutex = nullptr;
    // When set, hasAnInstance warns this and returns false while the class mutex is missing.
    const char *hasAnInstanceWithoutMutex = nullptr;
    // Both Instance forms return null while the class mutex is missing.
    bool instanceNeedsMutex = false;
    // hasAnInstance reads the instance pointer without taking the class mutex (any thread).
    bool hasAnInstanceUnlocked = false;
};

// The class-level half of a single-instance class T: the class mutex (recursive) and the pointer
// to the one instance. T keeps its public accessors and forwards to these:
//
//     Menu *Menu::Instance(QMenuBar *bar)
//     {
//         return SingleInstance<Menu>::obtain(instanceRules, bar);
//     }
//     Menu *Menu::Instance() { return SingleInstance<Menu>::existing(instanceRules); }
//     bool Menu::hasAnInstance() { return SingleInstance<Menu>::hasAnInstance(instanceRules); }
//
// When T's constructor is private, T befriends SingleInstance<T>. T's destructor opens its body
// with a DestructorLock, declared before the locker of the object's own mutex, so the class mutex
// is taken first and released last, and the instance pointer is cleared on the way out:
//
//     Menu::~Menu()
//     {
//         SingleInstance<Menu>::DestructorLock classLock(this); // guards Menu's instance pointer
//         QMutexLocker locker(&mutex); // guards the menu's own parts while they go
//         ...delete the parts it owns...
//     }
//
// The entry point makes the class mutex (createClassMutex) before the first access and destroys
// the remaining instance and the mutex (destroy) at shut-down. Neither needs T to be a complete
// type, so the entry point lists every single-instance class by forward declaration.
// Called on the GUI thread, except hasAnInstance with hasAnInstanceUnlocked, which any
// thread may call.
template <class T> class SingleInstance
{
public:
    // Makes the class mutex if it is missing; false when it could not be allocated.
    static bool createClassMutex()
    {
        if (!classMutex)
            classMutex = new (std::nothrow) QRecursiveMutex;
        return classMutex != nullptr;
    }

    static bool hasClassMutex() { return classMutex != nullptr; }

    // Deletes the instance if one exists, then the class mutex. Nothing without a class mutex.
    static void destroy()
    {
        if (!classMutex)
            return;
        T *remaining = nullptr;
        {
            QMutexLocker locker(classMutex); // guards the instance pointer
            remaining = instance.load();
        }
        if (remaining)
            deleteInstance(remaining); // its DestructorLock clears the pointer
        delete classMutex;
        classMutex = nullptr;
    }

    // Instance with construction data: the existing instance, or a new one built from args. The
    // pointer is stored once the constructor has returned, as the instance is only complete then.
    template <class... Args> static T *obtain(const InstanceRules &rules, Args &&...args)
    {
        if (!mutexAllowsInstance(rules))
            return nullptr;
        QMutexLocker locker(classMutex); // guards the instance pointer
        if (!instance.load()) {
            deleteInstance = [](T *object) { delete object; };
            T *made = new (std::nothrow) T(std::forward<Args>(args)...);
            if (!made && rules.constructionFailed)
                qWarning("%s", rules.constructionFailed);
            instance.store(made);
        }
        return instance.load();
    }

    // Instance without construction data: the existing instance or null; constructs nothing.
    static T *existing(const InstanceRules &rules)
    {
        if (!mutexAllowsInstance(rules))
            return nullptr;
        QMutexLocker locker(classMutex); // guards the instance pointer
        T *current = instance.load();
        if (!current && rules.noInstance)
            qWarning("%s", rules.noInstance);
        return current;
    }

    static bool hasAnInstance(const InstanceRules &rules)
    {
        if (rules.hasAnInstanceUnlocked)
            return instance.load() != nullptr;
        if (!classMutex && rules.hasAnInstanceWithoutMutex) {
            qWarning("%s", rules.hasAnInstanceWithoutMutex);
            return false;
        }
        QMutexLocker locker(classMutex); // guards the instance pointer
        return instance.load() != nullptr;
    }

    // Held for the whole body of T's destructor: takes the class mutex on construction; on
    // destruction clears the instance pointer (if it still names this object), then releases
    // the class mutex.
    class DestructorLock
    {
    public:
        explicit DestructorLock(T *object) : object(object), locker(classMutex) {}
        ~DestructorLock()
        {
            T *expected = object;
            instance.compare_exchange_strong(expected, nullptr);
        }
        DestructorLock(const DestructorLock &) = delete;
        DestructorLock &operator=(const DestructorLock &) = delete;

    private:
        T *object = nullptr;
        QMutexLocker<QRecursiveMutex> locker; // guards the instance pointer
    };

private:
    static bool mutexAllowsInstance(const InstanceRules &rules)
    {
        if (classMutex || !rules.instanceNeedsMutex)
            return true;
        if (rules.instanceWithoutMutex)
            qWarning("%s", rules.instanceWithoutMutex);
        return false;
    }

    static inline QRecursiveMutex *classMutex = nullptr;
    // Atomic so that an unlocked hasAnInstance is a plain read, never a data race.
    static inline std::atomic<T *> instance{nullptr};
    // Set where T is complete (obtain), so destroy works from a forward declaration.
    static inline void (*deleteInstance)(T *) = nullptr;
};

#endif // SINGLEINSTANCE_H
