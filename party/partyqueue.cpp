#include "partyqueue.h"

#include "songcatalog.h"

#include <algorithm>

PartyQueue::PartyQueue(QObject *parent) : QObject(parent) {}

std::optional<QString> PartyQueue::cleanName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > maxNameLength)
        return std::nullopt;
    for (const QChar c : trimmed) {
        const auto category = c.category();
        // Controls, bidirectional overrides and other invisible formatting, line separators.
        if (category == QChar::Other_Control || category == QChar::Other_Format ||
            category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            return std::nullopt;
    }
    if (!trimmed.isValidUtf16())
        return std::nullopt;
    return trimmed;
}

bool PartyQueue::isPhoneId(const QString &clientId)
{
    if (clientId.size() < 8 || clientId.size() > 64)
        return false;
    return std::all_of(clientId.cbegin(), clientId.cend(), [](QChar c) {
        return c.unicode() < 128 && (c.isLetterOrNumber() || c == u'-' || c == u'_');
    });
}

int PartyQueue::countFor(const QString &clientId) const
{
    return int(std::count_if(queue.cbegin(), queue.cend(),
        [&clientId](const PartyEntry &entry) { return entry.clientId == clientId; }));
}

PartyQueue::AddResult PartyQueue::add(const QString &singer, const QString &clientId,
                                      const PartySong &song, int key, const QDateTime &when,
                                      qint64 *entryId)
{
    const auto name = cleanName(singer);
    if (!name)
        return AddResult::BadName;
    if (!isPhoneId(clientId))
        return AddResult::BadPhone;
    if (key < -6 || key > 6)
        return AddResult::BadKey;
    if (countFor(clientId) >= maxPerPhone || queue.size() >= maxEntries)
        return AddResult::TooMany;

    PartyEntry entry;
    entry.id = ++lastId;
    entry.singer = *name;
    entry.clientId = clientId;
    entry.songId = song.id;
    entry.title = song.title;
    entry.artist = song.artist;
    entry.seconds = song.seconds;
    entry.key = key;
    entry.queuedAt = when;
    turns.join(clientId);
    queue.insert(turns.placeFor(queue, clientId), entry);
    if (entryId)
        *entryId = entry.id;
    emit changed();
    return AddResult::Added;
}

int PartyQueue::indexOf(qint64 entryId) const
{
    const auto found = std::find_if(queue.cbegin(), queue.cend(),
        [entryId](const PartyEntry &entry) { return entry.id == entryId; });
    return found == queue.cend() ? -1 : int(found - queue.cbegin());
}

bool PartyQueue::withdraw(qint64 entryId, const QString &clientId)
{
    const int index = indexOf(entryId);
    if (index < 0 || queue.at(index).clientId != clientId)
        return false;
    queue.removeAt(index);
    emit changed();
    return true;
}

bool PartyQueue::remove(qint64 entryId)
{
    const int index = indexOf(entryId);
    if (index < 0)
        return false;
    queue.removeAt(index);
    emit changed();
    return true;
}

bool PartyQueue::move(qint64 entryId, int index)
{
    const int from = indexOf(entryId);
    if (from < 0)
        return false;
    const int to = qBound(0, index, int(queue.size()) - 1);
    if (to != from) {
        queue.move(from, to);
        emit changed();
    }
    return true;
}

std::optional<PartyEntry> PartyQueue::takeNext()
{
    if (queue.isEmpty())
        return std::nullopt;
    return take(queue.constFirst().id);
}

std::optional<PartyEntry> PartyQueue::take(qint64 entryId)
{
    const int index = indexOf(entryId);
    if (index < 0)
        return std::nullopt;
    PartyEntry entry = queue.takeAt(index);
    turns.tookTurn(entry.clientId);
    emit changed();
    return entry;
}

void PartyQueue::clear()
{
    queue.clear();
    turns.clear();
    emit changed();
}

void PartyQueue::restore(const QList<PartyEntry> &entries, const PartyRotation &rotation)
{
    queue = entries;
    turns = rotation;
    for (const PartyEntry &entry : std::as_const(queue)) {
        lastId = std::max(lastId, entry.id);
        turns.join(entry.clientId);
    }
    emit changed();
}
