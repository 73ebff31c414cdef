#include "partyratelimit.h"

bool PartyRateLimit::allow(const QString &phone, qint64 nowMs)
{
    const qint64 second = nowMs / 1000;
    if (windows.size() >= maxPhones && !windows.contains(phone)) {
        windows.removeIf([second](const auto &item) { return item.value().second != second; });
        if (windows.size() >= maxPhones)
            return false;
    }
    Window &window = windows[phone];
    if (window.second != second) {
        window.second = second;
        window.count = 0;
    }
    return ++window.count <= limit;
}
