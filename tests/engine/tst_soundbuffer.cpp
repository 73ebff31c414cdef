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
    void resetCursorKeepsFramesClearSlotsEmptiesThem();
};

void TestSoundBuffer::walksEverySlotOnce_data()
{
    QTest::addColumn<int>("count");
    for (int count : {-5, 0, 1, 2, 40})
        QTest::addRow("%d slots", count) << count;
}

void TestSoundBuffer::walksEverySlotOnce()
{
    QFETCH(int, count);
    SoundBuffer buffer(count);
    QCOMPARE(buffer.slotCount(), qMax(count, 0));
    QCOMPARE(buffer.cursorIndex(), -1);
    for (int i = 0; i < count; ++i) {
        QVERIFY(buffer.hasRoom());
        FrameSlot *slot = buffer.nextSlot();
        QVERIFY(slot);
        QCOMPARE(slot, buffer.slotAt(0) + i); // one contiguous row
        QCOMPARE(slot->frameNumber, 0);
        QCOMPARE(buffer.cursorIndex(), i);
    }
    // Past the last slot: no room and nothing more to hand out, however often asked.
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!buffer.hasRoom());
        QCOMPARE(buffer.nextSlot(), nullptr);
    }
    QCOMPARE(buffer.slotAt(-1), nullptr);
    QCOMPARE(buffer.slotAt(count), nullptr);
    buffer.resetCursor();
    QCOMPARE(buffer.cursorIndex(), -1);
    QCOMPARE(buffer.hasRoom(), count > 0);
    QCOMPARE(buffer.nextSlot(), buffer.slotAt(0));
}

void TestSoundBuffer::resetCursorKeepsFramesClearSlotsEmptiesThem()
{
    SoundBuffer buffer(3);
    while (FrameSlot *slot = buffer.nextSlot()) {
        slot->frameNumber = buffer.cursorIndex() + 7;
        std::memset(slot->pcm, 0x5a, sizeof slot->pcm);
        slot->content[0] = slot->content[1] = 0x12;
    }
    buffer.resetCursor();
    QCOMPARE(buffer.cursorIndex(), -1);
    for (int i = 0; i < 3; ++i) {
        const FrameSlot *slot = buffer.nextSlot();
        QCOMPARE(slot->frameNumber, i + 7);
        QCOMPARE(slot->pcm[4607], quint8(0x5a));
        QCOMPARE(slot->content[1], quint8(0x12));
    }
    buffer.clearSlots();
    QCOMPARE(buffer.cursorIndex(), -1);
    const FrameSlot empty{};
    for (int i = 0; i < 3; ++i) {
        const FrameSlot *slot = buffer.slotAt(i);
        QCOMPARE(slot->frameNumber, 0);
        QCOMPARE(std::memcmp(slot->pcm, empty.pcm, sizeof empty.pcm), 0);
        QCOMPARE(std::memcmp(slot->content, empty.content, sizeof empty.content), 0);
    }
}

QTEST_GUILESS_MAIN(TestSoundBuffer)
#include "tst_soundbuffer.moc"
