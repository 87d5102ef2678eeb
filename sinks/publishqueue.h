#ifndef PUBLISHQUEUE_H
#define PUBLISHQUEUE_H

#include "link/ticksampler.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

#include <deque>
#include <optional>

// What waits for the broker, oldest first: readings, kept compactly (about
// sixty bytes each, not their JSON), and events (their JSON object). An item
// is handed out in order, once (again from the oldest not acknowledged after
// resend()); it leaves when the broker acknowledged it and every item before
// it. When the queue is full the oldest items not handed out yet make way,
// and a note in their place tells how many went.
class PublishQueue
{
public:
    // Three days of readings at one a second.
    static constexpr qint64 DefaultCapacity = 3 * 86400;

    struct Dropped {
        qint64 readings = 0;
        qint64 events = 0;
        qint64 firstSeq = 0, lastSeq = 0; // the readings' numbers; 0 without readings
    };
    struct Item {
        enum class Kind { Reading, Event, Dropped };
        Kind kind = Kind::Reading;
        qint64 ticket = 0;         // what acknowledge() takes
        RecordedReading reading;   // Reading
        QByteArray event;          // Event: its JSON object
        Dropped dropped;           // Dropped
    };

    explicit PublishQueue(qint64 capacity = DefaultCapacity);

    void pushReading(const RecordedReading &recorded);
    void pushEvent(const QByteArray &json);
    // The oldest item not handed out yet, now handed out.
    std::optional<Item> takeNext();
    // The item last taken goes back (the client could not take it).
    void untake() { if (m_handedOut > 0) --m_handedOut; }
    // The broker has the item; unknown tickets (items dropped meanwhile) are ignored.
    void acknowledge(qint64 ticket);
    // A new connection: what was handed out and not acknowledged is handed
    // out again, oldest first, before anything newer.
    void resend();

    qint64 size() const { return qint64(m_entries.size()); }
    qint64 waiting() const { return size() - m_handedOut; }
    qint64 capacity() const { return m_capacity; }
    // Readings and events dropped since the start.
    qint64 droppedTotal() const { return m_droppedReadings + m_droppedEvents; }
    qint64 droppedReadings() const { return m_droppedReadings; }
    qint64 droppedEvents() const { return m_droppedEvents; }
    // Readings and events still in the queue (not notes of dropped ones).
    qint64 readingsLeft() const;
    qint64 eventsLeft() const;

private:
    enum Flag : quint8 {
        Negative = 1,
        WithoutBarGraph = 2,
        ValueAsWord = 4, // the value text did not fit in `value`: a word index
        IsEvent = 8,
        IsDropped = 16,
        Acknowledged = 32,
    };
    static constexpr int ValueChars = 8;
    struct Entry {
        qint64 ticket = 0;
        qint64 seq = 0;
        qint64 utcMs = 0;
        quint32 annunciators = 0;
        qint32 offsetSeconds = 0;
        char value[ValueChars] = {};
        quint16 function = 0, unit = 0, model = 0, version = 0; // indices in m_words
        quint8 kind = 0;
        quint8 flags = 0;
        quint8 valueLength = 0;
        QByteArray event;
    };

    quint16 wordIndex(const QString &word);
    void makeRoom();
    void dropInto(Dropped *note, const Entry &entry);
    Entry entryOf(const RecordedReading &recorded);
    RecordedReading readingOf(const Entry &entry) const;

    qint64 m_capacity;
    std::deque<Entry> m_entries;
    qint64 m_handedOut = 0;   // the first m_handedOut entries are handed out
    qint64 m_nextTicket = 1;
    qint64 m_droppedReadings = 0;
    qint64 m_droppedEvents = 0;
    QHash<qint64, Dropped> m_dropNotes; // by ticket
    // Functions, units, model and version names: a handful, each kept once.
    QStringList m_words;
    QHash<QString, quint16> m_wordIndex;
};

#endif // PUBLISHQUEUE_H
