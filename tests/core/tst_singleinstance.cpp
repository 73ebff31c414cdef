// The single-instance template, through one stand-in class for each kind of accessor behaviour.

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
// data when buildsWithoutData is set (as the toolbars do), otherwise it only finds.
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
        typename SingleInstance<StandIn>::DestructorLock classLock(this); // guards the pointer
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

// Every text and the strict class-mutex check (as the playlist menu); plain defaults that build
// without data (as the toolbars); silent null answers and an unlocked hasAnInstance (as the
// sound output).
constexpr InstanceRules strictRules = {
    "Unable to make a new PlayListMenu!",
    "Did not have an instance of PlayListMenu! Nor was info to build one provided!",
    "Instance Called without a MUTEX to lock in PlayListMenu!",
    "hasAnInstance Called without a MUTEX to lock in PlayListMenu!", true};
constexpr InstanceRules plainRules = {"Error in makeing a new toolbar!"};
constexpr InstanceRules soundOutputRules = {nullptr, nullptr, nullptr, nullptr, true, true};

using Strict = StandIn<strictRules>;
using Toolbar = StandIn<plainRules, true>;
using SoundOutput = StandIn<soundOutputRules>;

// A stand-in's accessors, for a table of rows.
struct Accessors
{
    std::function<void *()> instance;     // without data
    std::function<void *()> instanceWith; // with data
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

    void lifetime();
    void accessorsWithoutTheClassMutex_data();
    void accessorsWithoutTheClassMutex();
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
    QVERIFY(SingleInstance<Strict>::createClassMutex());
    QVERIFY(SingleInstance<SoundOutput>::createClassMutex());
}

void SingleInstanceTest::cleanup()
{
    Toolbar::duringDestruction = nullptr;
    SoundOutput::duringDestruction = nullptr;
    SingleInstance<Toolbar>::destroy();
    SingleInstance<Strict>::destroy();
    SingleInstance<SoundOutput>::destroy();
}

// Built once from the first data; a failed allocation warns and builds nothing; deleting the
// instance clears the pointer, deleting another object does not; destroy takes what is left.
void SingleInstanceTest::lifetime()
{
    Toolbar::failAllocation = true;
    QTest::ignoreMessage(QtWarningMsg, "Error in makeing a new toolbar!");
    QCOMPARE(Toolbar::Instance(), nullptr);
    Toolbar::failAllocation = false;
    QVERIFY(!Toolbar::hasAnInstance());

    Toolbar *first = Toolbar::Instance(7);
    QCOMPARE(Toolbar::Instance(8), first);
    QCOMPARE(Toolbar::Instance(), first);
    QCOMPARE(first->data, 7);
    QVERIFY(Toolbar::hasAnInstance());
    delete first;
    QVERIFY(!Toolbar::hasAnInstance());
    QCOMPARE(Toolbar::Instance(2)->data, 2);

    delete new (std::nothrow) Toolbar(3);
    QCOMPARE(Toolbar::Instance()->data, 2);
    QCOMPARE(constructedCount, 3);

    SingleInstance<Toolbar>::destroy();
    QCOMPARE(destroyedCount, 3);
    QVERIFY(!SingleInstance<Toolbar>::hasClassMutex());
    SingleInstance<Toolbar>::destroy(); // a second destroy does nothing
    QCOMPARE(destroyedCount, 3);
}

void SingleInstanceTest::accessorsWithoutTheClassMutex_data()
{
    QTest::addColumn<Accessors>("accessors");
    QTest::addColumn<QString>("noData");               // Instance() before construction
    QTest::addColumn<QString>("hasWithoutMutex");      // hasAnInstance() without the class mutex
    QTest::addColumn<QString>("instanceWithoutMutex"); // both Instance forms; null: not checked
    QTest::addRow("strict") << accessorsOf<Strict>() << QString(strictRules.noInstance)
                            << QString(strictRules.hasAnInstanceWithoutMutex)
                            << QString(strictRules.instanceWithoutMutex);
    QTest::addRow("plain") << accessorsOf<Toolbar>() << QString() << "" << QString();
    QTest::addRow("sound output") << accessorsOf<SoundOutput>() << "" << "" << "";
}

// Each accessor answers null or false, warns exactly as its class says (empty: silently) and
// builds nothing.
void SingleInstanceTest::accessorsWithoutTheClassMutex()
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
        QCOMPARE(accessors.instanceWith(), nullptr);
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
