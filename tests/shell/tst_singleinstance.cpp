// The single-instance helper, through one stand-in class for each kind of accessor behaviour.

#include "singleinstance.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QtTest>

#include <functional>
#include <thread>

// Named only, as the entry point names the classes it tears down; defined further below.
class Late;
bool makeLateMutex()
{
    return SingleInstance<Late>::createClassMutex();
}
void destroyLate()
{
    SingleInstance<Late>::destroy();
}

namespace {

int constructedCount = 0;
int destroyedCount = 0;

// Plain accessors with a construction-failure warning (the toolbars, the playlist window,
// the preferences store).
class Plain
{
public:
    static Plain *Instance(int data) { return SingleInstance<Plain>::obtain(rules, data); }
    static Plain *Instance() { return Instance(0); }
    static bool hasAnInstance() { return SingleInstance<Plain>::hasAnInstance(rules); }

    explicit Plain(int data) : data(data) { ++constructedCount; }
    ~Plain()
    {
        SingleInstance<Plain>::DestructorLock classLock(this); // guards the instance pointer
        ++destroyedCount;
        if (duringDestruction)
            duringDestruction();
    }

    static constexpr InstanceRules rules =
        InstanceRules().failureWarning("Error in makeing a new toolbar!");
    static inline std::function<void()> duringDestruction;
    int data = 0;
};

// Allocation yields nothing.
class Unbuildable
{
public:
    static Unbuildable *Instance() { return SingleInstance<Unbuildable>::obtain(rules); }
    static bool hasAnInstance() { return SingleInstance<Unbuildable>::hasAnInstance(rules); }

    Unbuildable() { ++constructedCount; }
    static void *operator new(std::size_t, const std::nothrow_t &) noexcept { return nullptr; }
    static void operator delete(void *) noexcept {}

    static constexpr InstanceRules rules =
        InstanceRules().failureWarning("Was unable to allocate the play list window!");
};

// Cannot be built without data, and insists on its class mutex everywhere (the playlist menu).
class Strict
{
public:
    static Strict *Instance(int data) { return SingleInstance<Strict>::obtain(rules, data); }
    static Strict *Instance() { return SingleInstance<Strict>::existing(rules); }
    static bool hasAnInstance() { return SingleInstance<Strict>::hasAnInstance(rules); }

    explicit Strict(int) { ++constructedCount; }
    ~Strict() { SingleInstance<Strict>::DestructorLock classLock(this); }

    static constexpr InstanceRules rules =
        InstanceRules()
            .failureWarning("Unable to make a new PlayListMenu!")
            .noDataWarning(
                "Did not have an instance of PlayListMenu! Nor was info to build one provided!")
            .instanceNeedsClassMutex("Instance Called without a MUTEX to lock in PlayListMenu!")
            .hasAnInstanceNeedsClassMutex(
                "hasAnInstance Called without a MUTEX to lock in PlayListMenu!");
};

// Cannot be built without data; only hasAnInstance checks the mutex (the main menu).
class Checked
{
public:
    static Checked *Instance(int data) { return SingleInstance<Checked>::obtain(rules, data); }
    static Checked *Instance() { return SingleInstance<Checked>::existing(rules); }
    static bool hasAnInstance() { return SingleInstance<Checked>::hasAnInstance(rules); }

    explicit Checked(int) { ++constructedCount; }
    ~Checked() { SingleInstance<Checked>::DestructorLock classLock(this); }

    static constexpr InstanceRules rules =
        InstanceRules()
            .failureWarning("Unable to generate the menu!")
            .noDataWarning("Did not have an instance for MENU! Nor was info to build one provided!")
            .hasAnInstanceNeedsClassMutex(
                "Asked for instance information without MenuInstanceMUTEX!");
};

// Instance() without data answers silently (the playback engine).
class Quiet
{
public:
    static Quiet *Instance(const QString &file, int startFrame)
    {
        return SingleInstance<Quiet>::obtain(rules, file, startFrame);
    }
    static Quiet *Instance() { return SingleInstance<Quiet>::existing(rules); }
    static bool hasAnInstance() { return SingleInstance<Quiet>::hasAnInstance(rules); }

    Quiet(const QString &file, int startFrame) : file(file), startFrame(startFrame) {}
    ~Quiet() { SingleInstance<Quiet>::DestructorLock classLock(this); }

    static constexpr InstanceRules rules =
        InstanceRules()
            .failureWarning("Unable to generate the MP3Object!")
            .hasAnInstanceNeedsClassMutex("Asked about MP3Object instance without the mutex");
    QString file;
    int startFrame = 0;
};

// Null without a word when the class mutex is missing; hasAnInstance never locks (the sound
// output).
class Unlocked
{
public:
    static Unlocked *Instance(int data) { return SingleInstance<Unlocked>::obtain(rules, data); }
    static Unlocked *Instance() { return SingleInstance<Unlocked>::existing(rules); }
    static bool hasAnInstance() { return SingleInstance<Unlocked>::hasAnInstance(rules); }

    explicit Unlocked(int) {}
    ~Unlocked()
    {
        SingleInstance<Unlocked>::DestructorLock classLock(this); // guards the instance pointer
        if (duringDestruction)
            duringDestruction();
    }

    static constexpr InstanceRules rules =
        InstanceRules().instanceNeedsClassMutex().hasAnInstanceReadsUnlocked();
    static inline std::function<void()> duringDestruction;
};

} // namespace

class Late
{
public:
    explicit Late(int) {}
    ~Late()
    {
        SingleInstance<Late>::DestructorLock classLock(this); // guards the instance pointer
        ++destroyedCount;
    }
};

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void constructsOnceAndKeepsFirstData();
    void destructorClearsTheInstance();
    void destroyDeletesTheRemainingInstanceThenTheMutex();
    void destroyWorksFromAForwardDeclaration();
    void constructionFailureWarns();
    void instanceWithoutDataBeforeConstruction_data();
    void instanceWithoutDataBeforeConstruction();
    void hasAnInstanceWithoutMutex_data();
    void hasAnInstanceWithoutMutex();
    void instanceFormsWithoutMutex_data();
    void instanceFormsWithoutMutex();
    void destructionHoldsTheClassMutex();
    void unlockedReadDoesNotWaitForTheClassMutex();
};

void SingleInstanceTest::init()
{
    constructedCount = 0;
    destroyedCount = 0;
    QVERIFY(SingleInstance<Plain>::createClassMutex());
    QVERIFY(SingleInstance<Unbuildable>::createClassMutex());
    QVERIFY(SingleInstance<Strict>::createClassMutex());
    QVERIFY(SingleInstance<Checked>::createClassMutex());
    QVERIFY(SingleInstance<Quiet>::createClassMutex());
    QVERIFY(SingleInstance<Unlocked>::createClassMutex());
}

void SingleInstanceTest::cleanup()
{
    Plain::duringDestruction = nullptr;
    Unlocked::duringDestruction = nullptr;
    SingleInstance<Plain>::destroy();
    SingleInstance<Unbuildable>::destroy();
    SingleInstance<Strict>::destroy();
    SingleInstance<Checked>::destroy();
    SingleInstance<Quiet>::destroy();
    SingleInstance<Unlocked>::destroy();
}

void SingleInstanceTest::constructsOnceAndKeepsFirstData()
{
    QVERIFY(!Plain::hasAnInstance());
    Plain *first = Plain::Instance(7);
    QVERIFY(first);
    QCOMPARE(Plain::Instance(8), first);
    QCOMPARE(Plain::Instance(), first);
    QCOMPARE(first->data, 7);
    QCOMPARE(constructedCount, 1);
    QVERIFY(Plain::hasAnInstance());

    Quiet *engine = Quiet::Instance(QStringLiteral("a.mp3"), 12);
    QCOMPARE(Quiet::Instance(QStringLiteral("b.mp3"), 0), engine);
    QCOMPARE(Quiet::Instance(), engine);
    QCOMPARE(engine->file, QStringLiteral("a.mp3"));
    QCOMPARE(engine->startFrame, 12);
}

void SingleInstanceTest::destructorClearsTheInstance()
{
    delete Plain::Instance(1);
    QCOMPARE(destroyedCount, 1);
    QVERIFY(!Plain::hasAnInstance());
    QCOMPARE(Plain::Instance(2)->data, 2);
    QCOMPARE(constructedCount, 2);

    // An object that is not the instance leaves the pointer alone.
    delete new Plain(3);
    QVERIFY(Plain::hasAnInstance());
    QCOMPARE(Plain::Instance()->data, 2);
}

void SingleInstanceTest::destroyDeletesTheRemainingInstanceThenTheMutex()
{
    Plain::Instance(1);
    SingleInstance<Plain>::destroy();
    QCOMPARE(destroyedCount, 1);
    QVERIFY(!SingleInstance<Plain>::hasClassMutex());
    QVERIFY(!Plain::hasAnInstance());

    // Without an instance only the mutex goes; a second destroy does nothing.
    QVERIFY(SingleInstance<Plain>::createClassMutex());
    SingleInstance<Plain>::destroy();
    SingleInstance<Plain>::destroy();
    QCOMPARE(destroyedCount, 1);
}

void SingleInstanceTest::destroyWorksFromAForwardDeclaration()
{
    QVERIFY(makeLateMutex());
    QVERIFY(SingleInstance<Late>::obtain(InstanceRules(), 1));
    destroyLate();
    QCOMPARE(destroyedCount, 1);
    QVERIFY(!SingleInstance<Late>::hasClassMutex());
    QVERIFY(!SingleInstance<Late>::hasAnInstance(InstanceRules()));
}

void SingleInstanceTest::constructionFailureWarns()
{
    QTest::ignoreMessage(QtWarningMsg, "Was unable to allocate the play list window!");
    QCOMPARE(Unbuildable::Instance(), nullptr);
    QCOMPARE(constructedCount, 0);
    QVERIFY(!Unbuildable::hasAnInstance());
}

void SingleInstanceTest::instanceWithoutDataBeforeConstruction_data()
{
    QTest::addColumn<std::function<void *()>>("instance");
    QTest::addColumn<QString>("warning");
    QTest::addRow("playlist menu")
        << std::function<void *()>([] { return Strict::Instance(); })
        << "Did not have an instance of PlayListMenu! Nor was info to build one provided!";
    QTest::addRow("main menu") << std::function<void *()>([] {
        return Checked::Instance();
    }) << "Did not have an instance for MENU! Nor was info to build one provided!";
    QTest::addRow("engine") << std::function<void *()>([] { return Quiet::Instance(); })
                            << QString();
    QTest::addRow("sound output") << std::function<void *()>([] { return Unlocked::Instance(); })
                                  << QString();
}

// Returns null, warns as the class says, and constructs nothing.
void SingleInstanceTest::instanceWithoutDataBeforeConstruction()
{
    QFETCH(std::function<void *()>, instance);
    QFETCH(QString, warning);
    if (warning.isEmpty())
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    else
        QTest::ignoreMessage(QtWarningMsg, warning.toLatin1().constData());
    QCOMPARE(instance(), nullptr);
    QCOMPARE(constructedCount, 0);
}

void SingleInstanceTest::hasAnInstanceWithoutMutex_data()
{
    QTest::addColumn<std::function<bool()>>("hasAnInstance");
    QTest::addColumn<std::function<void()>>("destroy");
    QTest::addColumn<QString>("warning");
    QTest::addRow("playlist menu")
        << std::function<bool()>(Strict::hasAnInstance)
        << std::function<void()>(SingleInstance<Strict>::destroy)
        << "hasAnInstance Called without a MUTEX to lock in PlayListMenu!";
    QTest::addRow("main menu") << std::function<bool()>(Checked::hasAnInstance)
                               << std::function<void()>(SingleInstance<Checked>::destroy)
                               << "Asked for instance information without MenuInstanceMUTEX!";
    QTest::addRow("engine") << std::function<bool()>(Quiet::hasAnInstance)
                            << std::function<void()>(SingleInstance<Quiet>::destroy)
                            << "Asked about MP3Object instance without the mutex";
    QTest::addRow("plain") << std::function<bool()>(Plain::hasAnInstance)
                           << std::function<void()>(SingleInstance<Plain>::destroy) << QString();
    QTest::addRow("sound output") << std::function<bool()>(Unlocked::hasAnInstance)
                                  << std::function<void()>(SingleInstance<Unlocked>::destroy)
                                  << QString();
}

void SingleInstanceTest::hasAnInstanceWithoutMutex()
{
    QFETCH(std::function<bool()>, hasAnInstance);
    QFETCH(std::function<void()>, destroy);
    QFETCH(QString, warning);
    destroy();
    if (warning.isEmpty())
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    else
        QTest::ignoreMessage(QtWarningMsg, warning.toLatin1().constData());
    QVERIFY(!hasAnInstance());
}

void SingleInstanceTest::instanceFormsWithoutMutex_data()
{
    QTest::addColumn<bool>("strict");
    QTest::addRow("playlist menu: warns") << true;
    QTest::addRow("sound output: silent") << false;
}

// Both Instance forms return null and build nothing.
void SingleInstanceTest::instanceFormsWithoutMutex()
{
    QFETCH(bool, strict);
    const char *warning = "Instance Called without a MUTEX to lock in PlayListMenu!";
    if (strict) {
        SingleInstance<Strict>::destroy();
        QTest::ignoreMessage(QtWarningMsg, warning);
        QCOMPARE(Strict::Instance(1), nullptr);
        QTest::ignoreMessage(QtWarningMsg, warning);
        QCOMPARE(Strict::Instance(), nullptr);
    } else {
        SingleInstance<Unlocked>::destroy();
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QCOMPARE(Unlocked::Instance(1), nullptr);
        QCOMPARE(Unlocked::Instance(), nullptr);
    }
    QCOMPARE(constructedCount, 0);
}

// Another thread asking while the instance is being destroyedCount waits for the destructor and
// then finds no instance; it never sees an object that is half gone.
void SingleInstanceTest::destructionHoldsTheClassMutex()
{
    for (int round = 0; round < 50; ++round) {
        Plain::Instance(round);
        bool seen = true;
        std::thread asker;
        QSemaphore asking;
        Plain::duringDestruction = [&] {
            asker = std::thread([&] {
                asking.release();
                seen = Plain::hasAnInstance();
            });
            asking.acquire();
        };
        delete Plain::Instance();
        asker.join();
        QVERIFY2(!seen, qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

// The sound output's hasAnInstance answers while another thread holds its class mutex (here:
// a destructor in progress); a locking read would wait for ever.
void SingleInstanceTest::unlockedReadDoesNotWaitForTheClassMutex()
{
    Unlocked *output = Unlocked::Instance(1);
    QSemaphore inside;
    QSemaphore proceed;
    Unlocked::duringDestruction = [&] {
        inside.release();
        proceed.acquire();
    };
    std::thread deleter([output] { delete output; });
    inside.acquire();
    const bool duringDestruction = Unlocked::hasAnInstance();
    proceed.release();
    deleter.join();
    QVERIFY(duringDestruction);
    QVERIFY(!Unlocked::hasAnInstance());
}

QTEST_APPLESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
