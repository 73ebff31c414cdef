// The play control toolbar: seven buttons in screen order, disabled until allowed, each one
// emitting its own signal and no other.

#include "toolbar.h"

#include <QMainWindow>
#include <QToolButton>
#include <QtTest>

using AllowSlot = void (Toolbar::*)(bool);
using PressedSignal = void (Toolbar::*)();
Q_DECLARE_METATYPE(AllowSlot)

namespace {

const QList<PressedSignal> signalsInScreenOrder = {
    &Toolbar::PreviousButtonPressed, &Toolbar::RewindButtonPressed,
    &Toolbar::PlayButtonPressed,     &Toolbar::PauseButtonPressed,
    &Toolbar::StopButtonPressed,     &Toolbar::FastForwardButtonPressed,
    &Toolbar::NextButtonPressed};

} // namespace

class ToolbarTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void buttons_data();
    void buttons();

private:
    QMainWindow window;
    Toolbar *toolbar = nullptr;
    QList<int> emitted; // screen positions of the buttons whose signal came
};

void ToolbarTest::initTestCase()
{
    QVERIFY(SingleInstance<Toolbar>::createClassMutex());
    toolbar = Toolbar::Instance(&window, "Play Control Toolbar");
    QVERIFY(toolbar);
    QCOMPARE(Toolbar::Instance(nullptr, nullptr), toolbar);
    QCOMPARE(toolbar->objectName(), QStringLiteral("Play Control Toolbar"));
    QCOMPARE(window.toolBarArea(toolbar), Qt::TopToolBarArea);
    for (int position = 0; position < signalsInScreenOrder.size(); ++position)
        connect(toolbar, signalsInScreenOrder[position], this,
                [this, position] { emitted << position; });
}

void ToolbarTest::cleanupTestCase()
{
    SingleInstance<Toolbar>::destroy();
    QVERIFY(!Toolbar::hasAnInstance());
}

void ToolbarTest::buttons_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<AllowSlot>("allow");
    const std::pair<const char *, AllowSlot> buttons[] = {
        {"Previous", &Toolbar::AllowPrevious}, {"Rewind", &Toolbar::AllowRewind},
        {"Play", &Toolbar::AllowPlay},         {"Pause", &Toolbar::AllowPause},
        {"Stop", &Toolbar::AllowStop},         {"FF", &Toolbar::AllowFF},
        {"Next", &Toolbar::AllowNext}};
    for (int position = 0; position < 7; ++position)
        QTest::addRow("%s", buttons[position].first) << position << buttons[position].second;
}

void ToolbarTest::buttons()
{
    QFETCH(int, position);
    QFETCH(AllowSlot, allow);
    const QString label = QString::fromLatin1(QTest::currentDataTag());
    auto *button =
        qobject_cast<QToolButton *>(toolbar->widgetForAction(toolbar->actions().value(position)));
    QVERIFY(button);
    QCOMPARE(button->objectName(), label);
    QCOMPARE(button->text(), label);
    QCOMPARE(button->toolTip(), label);
    QVERIFY(!button->icon().isNull());

    QCOMPARE(toolbar->actions().size(), 7);
    const auto enabledCount = [this] {
        const QList<QAction *> all = toolbar->actions();
        return std::count_if(all.begin(), all.end(), [this](QAction *action) {
            return toolbar->widgetForAction(action)->isEnabled();
        });
    };
    QVERIFY(!button->isEnabled());
    QCOMPARE(enabledCount(), 0);
    emitted.clear();
    button->click(); // disabled: nothing
    (toolbar->*allow)(true);
    QVERIFY(button->isEnabled());
    QCOMPARE(enabledCount(), 1);
    button->click();
    QCOMPARE(emitted, QList<int>{position});
    (toolbar->*allow)(false);
    QVERIFY(!button->isEnabled());
}

QTEST_MAIN(ToolbarTest)
#include "tst_toolbar.moc"
