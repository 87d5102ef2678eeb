#include "publishqueue.h"

#include <algorithm>
#include <cstring>

PublishQueue::PublishQueue(qint64 capacity) : m_capacity(qMax<qint64>(capacity, 1)) {}

quint16 PublishQueue::wordIndex(const QString &word)
{
    const auto found = m_wordIndex.constFind(word);
    if (found != m_wordIndex.constEnd())
        return *found;
    // The meter's texts are few; a flood of distinct ones shares the last slot.
    if (m_words.size() >= 0xFFFF)
        return 0xFFFF - 1;
    const quint16 index = quint16(m_words.size());
    m_words << word;
    m_wordIndex.insert(word, index);
    return index;
}

PublishQueue::Entry PublishQueue::entryOf(const RecordedReading &recorded)
{
    const MeterReading &reading = recorded.reading;
    Entry entry;
    entry.seq = recorded.n;
    entry.utcMs = recorded.time.toMSecsSinceEpoch();
    entry.offsetSeconds = recorded.time.offsetFromUtc();
    entry.annunciators = reading.annunciators;
    const QByteArray value = reading.valueText.toLatin1();
    if (value.size() <= ValueChars && QString::fromLatin1(value) == reading.valueText) {
        std::memcpy(entry.value, value.constData(), size_t(value.size()));
        entry.valueLength = quint8(value.size());
    } else {
        const quint16 index = wordIndex(reading.valueText);
        std::memcpy(entry.value, &index, sizeof index);
        entry.flags |= ValueAsWord;
    }
    entry.function = wordIndex(reading.functionText);
    entry.unit = wordIndex(reading.unitText);
    entry.model = wordIndex(reading.model);
    entry.version = wordIndex(reading.version);
    entry.kind = quint8(reading.kind);
    if (reading.negative)
        entry.flags |= Negative;
    if (reading.withoutBarGraph)
        entry.flags |= WithoutBarGraph;
    return entry;
}

RecordedReading PublishQueue::readingOf(const Entry &entry) const
{
    RecordedReading recorded;
    recorded.n = entry.seq;
    recorded.time = QDateTime::fromMSecsSinceEpoch(entry.utcMs, Qt::OffsetFromUTC, entry.offsetSeconds);
    MeterReading &reading = recorded.reading;
    if (entry.flags & ValueAsWord) {
        quint16 index = 0;
        std::memcpy(&index, entry.value, sizeof index);
        reading.valueText = m_words.value(index);
    } else {
        reading.valueText = QString::fromLatin1(entry.value, entry.valueLength);
    }
    reading.functionText = m_words.value(entry.function);
    reading.unitText = m_words.value(entry.unit);
    reading.model = m_words.value(entry.model);
    reading.version = m_words.value(entry.version);
    reading.annunciators = entry.annunciators;
    reading.kind = MeterReading::Kind(entry.kind);
    reading.negative = entry.flags & Negative;
    reading.withoutBarGraph = entry.flags & WithoutBarGraph;
    return recorded;
}

void PublishQueue::dropInto(Dropped *note, const Entry &entry)
{
    if (entry.flags & IsEvent) {
        ++m_droppedEvents;
        ++note->events;
        return;
    }
    ++m_droppedReadings;
    ++note->readings;
    if (note->firstSeq == 0)
        note->firstSeq = entry.seq;
    note->lastSeq = entry.seq;
}

// The first item not handed out becomes the note of what was dropped (when
// it is not one already), and the item after it goes into the note.
void PublishQueue::makeRoom()
{
    if (m_handedOut >= size())
        return; // all handed out: the broker has them nearly
    Entry &first = m_entries[size_t(m_handedOut)];
    if (!(first.flags & IsDropped)) {
        Dropped note;
        dropInto(&note, first);
        Entry marker;
        marker.ticket = first.ticket;
        marker.flags = IsDropped;
        first = marker;
        m_dropNotes.insert(first.ticket, note);
    }
    if (size() >= m_capacity && m_handedOut + 1 < size()) {
        const auto next = m_entries.begin() + m_handedOut + 1;
        dropInto(&m_dropNotes[first.ticket], *next);
        m_entries.erase(next);
    }
}

void PublishQueue::pushReading(const RecordedReading &recorded)
{
    if (size() >= m_capacity)
        makeRoom();
    Entry entry = entryOf(recorded);
    entry.ticket = m_nextTicket++;
    m_entries.push_back(std::move(entry));
}

void PublishQueue::pushEvent(const QByteArray &json)
{
    if (size() >= m_capacity)
        makeRoom();
    Entry entry;
    entry.ticket = m_nextTicket++;
    entry.flags = IsEvent;
    entry.event = json;
    m_entries.push_back(std::move(entry));
}

std::optional<PublishQueue::Item> PublishQueue::takeNext()
{
    // Acknowledged already, before a resend().
    while (m_handedOut < size() && (m_entries[size_t(m_handedOut)].flags & Acknowledged))
        ++m_handedOut;
    if (m_handedOut >= size())
        return std::nullopt;
    const Entry &entry = m_entries[size_t(m_handedOut++)];
    Item item;
    item.ticket = entry.ticket;
    if (entry.flags & IsDropped) {
        item.kind = Item::Kind::Dropped;
        item.dropped = m_dropNotes.value(entry.ticket);
    } else if (entry.flags & IsEvent) {
        item.kind = Item::Kind::Event;
        item.event = entry.event;
    } else {
        item.reading = readingOf(entry);
    }
    return item;
}

void PublishQueue::acknowledge(qint64 ticket)
{
    const auto handedEnd = m_entries.begin() + m_handedOut;
    const auto found = std::lower_bound(m_entries.begin(), handedEnd, ticket,
                                        [](const Entry &entry, qint64 t) { return entry.ticket < t; });
    if (found == handedEnd || found->ticket != ticket)
        return;
    found->flags |= Acknowledged;
    while (!m_entries.empty() && m_handedOut > 0 && (m_entries.front().flags & Acknowledged)) {
        if (m_entries.front().flags & IsDropped)
            m_dropNotes.remove(m_entries.front().ticket);
        m_entries.pop_front();
        --m_handedOut;
    }
}

void PublishQueue::resend()
{
    m_handedOut = 0;
}

qint64 PublishQueue::readingsLeft() const
{
    return qint64(std::count_if(m_entries.begin(), m_entries.end(),
                                [](const Entry &entry) { return !(entry.flags & (IsEvent | IsDropped)); }));
}

qint64 PublishQueue::eventsLeft() const
{
    return qint64(std::count_if(m_entries.begin(), m_entries.end(),
                                [](const Entry &entry) { return (entry.flags & IsEvent) != 0; }));
}
