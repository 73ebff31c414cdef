#ifndef CONTENTSTREAMDECODER_H
#define CONTENTSTREAMDECODER_H

#include <QByteArray>
#include <QString>

// Turns a content stream back into pages and highlights, one frame's two bytes at a time.
// Its state is determined by the bytes fed since construction or reset(); any byte sequence
// is safe, and memory stays bounded by one pending and one current page.
class ContentStreamDecoder
{
public:
    // What one unit did, in the order a display must apply it.
    struct Step
    {
        bool pageShown = false;    // page() is a new page, with no highlight
        bool highlightSet = false; // highlightStart()/highlightEnd() changed (after the page)
    };

    Step feed(quint8 b0, quint8 b1);
    void reset();

    // the current page, lines separated by "\n"
    const QString &page() const { return current; }
    // highlighted UTF-16 range of the current page, end exclusive; always inside the page
    int highlightStart() const { return start; }
    int highlightEnd() const { return end; }
    // the header was seen and its version is understood
    bool isStreaming() const { return state == State::Streaming; }

private:
    enum class State
    {
        AwaitingHeader,
        Streaming,
        Rejected
    };

    void appendText(quint8 byte);
    Step command(quint8 b0, quint8 b1);

    State state = State::AwaitingHeader;
    QByteArray pending;
    QString current;
    int start = 0;
    int end = 0;
    quint8 endRegister = 0;
    quint16 startRegister = 0;
};

#endif
