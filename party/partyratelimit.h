#ifndef PARTYRATELIMIT_H
#define PARTYRATELIMIT_H

#include <QHash>
#include <QString>

// At most a number of requests per second for each phone, counted in whole-second windows.
// Remembers at most maxPhones phones; past that it forgets those not heard in the current second.
// GUI thread only.
class PartyRateLimit
{
public:
    static constexpr int maxPhones = 4096;

    explicit PartyRateLimit(int perSecond) : limit(perSecond) {}

    // Counts a request of phone at nowMs (a monotonic clock); false when it is one too many.
    bool allow(const QString &phone, qint64 nowMs);

private:
    struct Window
    {
        qint64 second = 0;
        int count = 0;
    };
    int limit = 0;
    QHash<QString, Window> windows;
};

#endif // PARTYRATELIMIT_H
