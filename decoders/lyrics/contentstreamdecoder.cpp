#include "contentstreamdecoder.h"

#include "contentformat.h"

#include <algorithm>

using namespace ContentFormat;

ContentStreamDecoder::Step ContentStreamDecoder::feed(quint8 b0, quint8 b1)
{
    if (b0 == 0x00)
        return {}; // idle, or reserved
    switch (state) {
    case State::Rejected:
        return {};
    case State::AwaitingHeader:
        state = (b0 == header && b1 == version) ? State::Streaming : State::Rejected;
        return {};
    case State::Streaming:
        break;
    }
    if (isTextByte(b0)) {
        appendText(b0);
        if (b1 != 0x00)
            appendText(b1);
        return {};
    }
    return command(b0, b1);
}

void ContentStreamDecoder::reset()
{
    *this = ContentStreamDecoder();
}

void ContentStreamDecoder::appendText(quint8 byte)
{
    if (pending.size() < maxPageBytes)
        pending.append(char(byte));
}

ContentStreamDecoder::Step ContentStreamDecoder::command(quint8 b0, quint8 b1)
{
    Step step;
    switch (b0) {
    case endHigh:
        endRegister = b1;
        return step;
    case startLow:
        startRegister = quint16((startRegister & 0xFF00) | b1);
        return step;
    case startHigh:
        startRegister = quint16((startRegister & 0x00FF) | (b1 << 8));
        return step;
    default:
        break;
    }
    if (b0 < highlight)
        return step; // header again, or reserved
    const int wantedEnd = (endRegister << endLowBits) | ((b0 & commandLowMask) << 8) | b1;
    const int wantedStart = startRegister;
    endRegister = 0;
    startRegister = 0;
    if (b0 >= showPage) {
        current = QString::fromUtf8(pending);
        pending.clear();
        start = end = 0;
        step.pageShown = true;
        if (wantedStart == 0 && wantedEnd == 0)
            return step;
    }
    end = std::min<int>(wantedEnd, int(current.size()));
    start = std::min(wantedStart, end);
    step.highlightSet = true;
    return step;
}
