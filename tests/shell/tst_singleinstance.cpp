// The single-instance helper, through one stand-in class for each kind of accessor behaviour.

#include "singleinstance.h"

#include <QRegularExpression>
#include <QSemaphore>
#include <QtTest>

#include <functional>
#include <thread>

namespace {

int constructedCount = 0;
int destroyedCount = 0;

// A single-instance class with the given rules. Instance() without data builds from default
// data when buildsWithoutData is set (as the toolbars and the preferences store do), otherwise
// it only finds.
template <const InstanceRules &rules, bool buildsWithoutData = false> class StandIn
{
public:
    static StandIn *Instance(int data) { return SingleInstance<StandIn>::obtain(rules, data); }
    static StandIn *Instance()
    {
        if constexpr (buildsWithoutData)
            return Instance(0);
        else
            return SingleInstance<StandIn>::existing(rules);
    }
    static bool hasAnInstance() { return SingleInstance<StandIn>::hasAnInstance(rules); }

    explicit StandIn(int data) : data(data) { ++constructedCount; }
    ~StandIn()
    {
        typename SingleInstance<StandIn>::DestructorLock classLock(
            this); // guards the instance pointer
        ++destroyedCount;
        if (duringDestruction)
            duringDestruction();
    }
    // Allocation yields nothing while failAllocation is set.
    static void *operator new(std::size_t size, const std::nothrow_t &tag) noexcept
    {
        return failAllocation ? nullptr : ::operator new(size, tag);
    }
    static void operator delete(void *object) noexcept { ::operator delete(object); }

    static inline bool failAllocation = false;
    static inline std::function<void()> duringDestruction;
    int data = 0;
};

// One stand-in per row of accessor behaviour.
constexpr InstanceRules toolbarRules =
    InstanceRules().failureWarning("Error in makeing a new toolbar!");
constexpr InstanceRules playListWindowRules =
    InstanceRules().failureWarning("Was unable to allocate the play list window!");
constexpr InstanceRules playListMenuRules =
    InstanceRules()
        .failureWarning("Unable to make a new PlayListMenu!")
        .noDataWarning(
            "Did not have an instance of PlayListMenu! Nor was info to build one provided!")
        .instanceNeedsClassMutex("Instance Called without a MUTEX to lock in PlayListMenu!")
        .hasAnInstanceNeedsClassMutex(
            "hasAnInstance Called without a MUTEX to lock in PlayListMenu!");
constexpr InstanceRules menuRules =
    InstanceRules()
        .failureWarning("Unable to generate the menu!")
        .noDataWarning("Did not have an instance for MENU! Nor was info to build one provided!")
        .hasAnInstanceNeedsClassMutex("Asked for instance information without MenuInstanceMUTEX!");
constexpr InstanceRules engineRules =
    InstanceRules()
        .failureWarning("Unable to generate the MP3Object!")
        .hasAnInstanceNeedsClassMutex("Asked about MP3Object instance without the mutex");
constexpr InstanceRules soundOutputRules =
    InstanceRules().instanceNeedsClassMutex().hasAnInstanceReadsUnlocked();

using Toolbar = StandIn<toolbarRules, true>;
using PlayListWindow = StandIn<playListWindowRules, true>;
using PlayListMenu = StandIn<playListMenuRules>;
using Menu = StandIn<menuRules>;
using Engine = StandIn<engineRules>;
using SoundOutput = StandIn<soundOutputRules>;

// A stand-in's accessors, for tables of rows.
struct Accessors
{
    std::function<void *()> instance;      // without data
    std::function<void *()> instanceWith1; // with data
    std::function<bool()> hasAnInstance;
    std::function<void()> destroy;
};

template <class T> Accessors accessorsOf()
{
    return {[] { return static_cast<void *>(T::Instance()); },
            [] { return static_cast<void *>(T::Instance(1)); }, T::hasAnInstance,
            SingleInstance<T>::destroy};
}

void expectWarning(const QString &text)
{
    if (!text.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, text.toLatin1().constData());
}

} // namespace

Q_DECLARE_METATYPE(Accessors)

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void constructsOnceAndKeepsFirstData();
    void deletingAndDestroy();
    void constructionFailureWarns();
    void accessorsPerRow_data();
    void accessorsPerRow();
    void destructionHoldsTheClassMutex();
    void unlockedReadDoesNotWaitForTheClassMutex();
};

void SingleInstanceTest::init()
{
    constructedCount = 0;
    destroyedCount = 0;
    // Any warning a test does not expect fails it.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QVERIFY(SingleInstance<Toolbar>::createClassMutex());
    QVERIFY(SingleInstance<PlayListWindow>::createClassMutex());
    QVERIFY(SingleInstance<PlayListMenu>::createClassMutex());
    QVERIFY(SingleInstance<Menu>::createClassMutex());
    QVERIFY(SingleInstance<Engine>::createClassMutex());
    QVERIFY(SingleInstance<SoundOutput>::createClassMutex());
}

void SingleInstanceTest::cleanup()
{
    Toolbar::duringDestruction = nullptr;
    SoundOutput::duringDestruction = nullptr;
    SingleInstance<Toolbar>::destroy();
    SingleInstance<PlayListWindow>::destroy();
    SingleInstance<PlayListMenu>::destroy();
    SingleInstance<Menu>::destroy();
    SingleInstance<Engine>::destroy();
    SingleInstance<SoundOutput>::destroy();
}

void SingleInstanceTest::constructsOnceAndKeepsFirstData()
{
    QVERIFY(!Toolbar::hasAnInstance());
    Toolbar *first = Toolbar::Instance(7);
    QVERIFY(first);
    QCOMPARE(Toolbar::Instance(8), first);
    QCOMPARE(Toolbar::Instance(), first);
    QCOMPARE(first->data, 7);
    QCOMPARE(constructedCount, 1);
    QVERIFY(Toolbar::hasAnInstance());
}

void SingleInstanceTest::deletingAndDestroy()
{
    delete Toolbar::Instance(1);
    QCOMPARE(destroyedCount, 1);
    QVERIFY(!Toolbar::hasAnInstance());
    QCOMPARE(Toolbar::Instance(2)->data, 2);
    QCOMPARE(constructedCount, 2);

    // An object that is not the instance leaves the pointer alone.
    delete new (std::nothrow) Toolbar(3);
    QCOMPARE(Toolbar::Instance()->data, 2);

    // destroy deletes the remaining instance, then the mutex.
    SingleInstance<Toolbar>::destroy();
    QCOMPARE(destroyedCount, 3);
    QVERIFY(!SingleInstance<Toolbar>::hasClassMutex());
    QVERIFY(!Toolbar::hasAnInstance());

    // Without an instance only the mutex goes; a second destroy does nothing.
    QVERIFY(SingleInstance<Toolbar>::createClassMutex());
    SingleInstance<Toolbar>::destroy();
    SingleInstance<Toolbar>::destroy();
    QCOMPARE(destroyedCount, 3);
}

void SingleInstanceTest::constructionFailureWarns()
{
    PlayListWindow::failAllocation = true;
    QTest::ignoreMessage(QtWarningMsg, "Was unable to allocate the play list window!");
    QCOMPARE(PlayListWindow::Instance(), nullptr);
    PlayListWindow::failAllocation = false;
    QCOMPARE(constructedCount, 0);
    QVERIFY(!PlayListWindow::hasAnInstance());
}

void SingleInstanceTest::accessorsPerRow_data()
{
    QTest::addColumn<Accessors>("accessors");
    QTest::addColumn<QString>("noData");               // Instance() before construction
    QTest::addColumn<QString>("hasWithoutMutex");      // hasAnInstance() without the class mutex
    QTest::addColumn<QString>("instanceWithoutMutex"); // both Instance forms; null: not checked
    QTest::addRow("playlist menu")
        << accessorsOf<PlayListMenu>()
        << "Did not have an instance of PlayListMenu! Nor was info to build one provided!"
        << "hasAnInstance Called without a MUTEX to lock in PlayListMenu!"
        << "Instance Called without a MUTEX to lock in PlayListMenu!";
    QTest::addRow("main menu")
        << accessorsOf<Menu>()
        << "Did not have an instance for MENU! Nor was info to build one provided!"
        << "Asked for instance information without MenuInstanceMUTEX!" << QString();
    QTest::addRow("engine") << accessorsOf<Engine>() << ""
                            << "Asked about MP3Object instance without the mutex" << QString();
    QTest::addRow("toolbar") << accessorsOf<Toolbar>() << QString() << "" << QString();
    QTest::addRow("sound output") << accessorsOf<SoundOutput>() << ""
                                  << ""
                                  << "";
}

// Each accessor answers null or false, warns exactly as its class says (empty: silently) and
// builds nothing.
void SingleInstanceTest::accessorsPerRow()
{
    QFETCH(Accessors, accessors);
    QFETCH(QString, noData);
    QFETCH(QString, hasWithoutMutex);
    QFETCH(QString, instanceWithoutMutex);
    if (!noData.isNull()) {
        expectWarning(noData);
        QCOMPARE(accessors.instance(), nullptr);
    }
    accessors.destroy();
    expectWarning(hasWithoutMutex);
    QVERIFY(!accessors.hasAnInstance());
    if (!instanceWithoutMutex.isNull()) {
        expectWarning(instanceWithoutMutex);
        QCOMPARE(accessors.instanceWith1(), nullptr);
        expectWarning(instanceWithoutMutex);
        QCOMPARE(accessors.instance(), nullptr);
    }
    QCOMPARE(constructedCount, 0);
}

// Another thread asking while the instance is being destroyed waits for the destructor and
// then finds no instance; it never sees an object that is half gone.
void SingleInstanceTest::destructionHoldsTheClassMutex()
{
    for (int round = 0; round < 50; ++round) {
        Toolbar::Instance(round);
        bool seen = true;
        std::thread asker;
        QSemaphore asking;
        Toolbar::duringDestruction = [&] {
            asker = std::thread([&] {
                asking.release();
                seen = Toolbar::hasAnInstance();
            });
            asking.acquire();
        };
        delete Toolbar::Instance();
        asker.join();
        QVERIFY2(!seen, qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

// The sound output's hasAnInstance answers while another thread holds its class mutex (here:
// a destructor in progress); a locking read would wait for ever.
void SingleInstanceTest::unlockedReadDoesNotWaitForTheClassMutex()
{
    SoundOutput *output = SoundOutput::Instance(1);
    QSemaphore inside;
    QSemaphore proceed;
    SoundOutput::duringDestruction = [&] {
        inside.release();
        proceed.acquire();
    };
    std::thread deleter([output] { delete output; });
    inside.acquire();
    const bool duringDestruction = SoundOutput::hasAnInstance();
    proceed.release();
    deleter.join();
    QVERIFY(duringDestruction);
    QVERIFY(!SoundOutput::hasAnInstance());
}

QTEST_APPLESS_MAIN(SingleInstanceTest)
#include "tst_singleinstance.moc"
