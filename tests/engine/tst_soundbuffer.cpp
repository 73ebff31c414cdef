// Sound buffers: walking the slots, room left, clearing and resetting.
#include "soundbuffer.h"

#include <QTest>

#include <cstring>

class TestSoundBuffer : public QObject
{
    Q_OBJECT

private slots:
    void walksEverySlotOnce_data();
    void walksEverySlotOnce();
    void slotsAreContiguousAndStartEmpty();
    void clearSlotsEmptiesEverySlot();
    void resetCursorKeepsTheFrames();
};

void TestSoundBuffer::walksEverySlotOnce_data()
{
    QTest::addColumn<int>("count");
    QTest::addRow("one slot") << 1;
    QTest::addRow("two slots") << 2;
    QTest::addRow("forty slots") << 40;
    QTest::addRow("no slot") << 0;
}

void TestSoundBuffer::walksEverySlotOnce()
{
    QFETCH(int, count);
    SoundBuffer buffer(count);
    QCOMPARE(buffer.slotCount(), count);
    QCOMPARE(buffer.cursorIndex(), -1);
    for (int i = 0; i < count; ++i) {
        QVERIFY(buffer.hasRoom());
        FrameSlot *slot = buffer.nextSlot();
        QCOMPARE(slot, buffer.slotAt(i));
        QVERIFY(slot);
        QCOMPARE(buffer.cursorIndex(), i);
    }
    // The cursor stands on the last slot: no room, and nothing more to hand out, however often
    // asked.
    QVERIFY(!buffer.hasRoom());
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(buffer.nextSlot(), nullptr);
        QVERIFY(!buffer.hasRoom());
    }
    QVERIFY(buffer.cursorIndex() >= count);
    buffer.resetCursor();
    QCOMPARE(buffer.cursorIndex(), -1);
    QCOMPARE(buffer.hasRoom(), count > 0);
    QCOMPARE(buffer.nextSlot(), buffer.slotAt(0));
}

void TestSoundBuffer::slotsAreContiguousAndStartEmpty()
{
    SoundBuffer buffer(8);
    for (int i = 0; i < 8; ++i) {
        const FrameSlot *slot = buffer.slotAt(i);
        QCOMPARE(slot, buffer.slotAt(0) + i);
        QCOMPARE(slot->frameNumber, 0);
    }
    QCOMPARE(buffer.slotAt(-1), nullptr);
    QCOMPARE(buffer.slotAt(8), nullptr);
    QCOMPARE(SoundBuffer(-5).slotCount(), 0);
}

void TestSoundBuffer::clearSlotsEmptiesEverySlot()
{
    const int count = 5;
    SoundBuffer buffer(count);
    while (FrameSlot *slot = buffer.nextSlot()) {
        slot->frameNumber = buffer.cursorIndex() + 100;
        std::memset(slot->pcm, 0x5a, sizeof slot->pcm);
        slot->content[0] = 0x12;
        slot->content[1] = 0x34;
    }
    buffer.clearSlots();
    QCOMPARE(buffer.cursorIndex(), -1);
    const FrameSlot empty{};
    for (int i = 0; i < count; ++i) {
        const FrameSlot *slot = buffer.slotAt(i);
        QCOMPARE(slot->frameNumber, 0);
        QCOMPARE(std::memcmp(slot->pcm, empty.pcm, sizeof empty.pcm), 0);
        QCOMPARE(slot->content[0], quint8(0));
        QCOMPARE(slot->content[1], quint8(0));
    }
}

void TestSoundBuffer::resetCursorKeepsTheFrames()
{
    SoundBuffer buffer(3);
    buffer.clearSlots();
    buffer.nextSlot()->frameNumber = 7;
    FrameSlot *second = buffer.nextSlot();
    second->frameNumber = 8;
    second->pcm[4607] = 0x7f;
    second->content[1] = 0x01;
    buffer.resetCursor();
    QCOMPARE(buffer.cursorIndex(), -1);
    QCOMPARE(buffer.nextSlot()->frameNumber, 7);
    QCOMPARE(buffer.nextSlot()->frameNumber, 8);
    QCOMPARE(second->pcm[4607], quint8(0x7f));
    QCOMPARE(second->content[1], quint8(0x01));
    QVERIFY(buffer.hasRoom());
}

QTEST_GUILESS_MAIN(TestSoundBuffer)
#include "tst_soundbuffer.moc"
