// The on-line list's painting: each entry's icon, text, colour and font as the state of the session, the arrival
// list and the watched-user list make it, painted into an image; when the list repaints at all; and what a screen
// reader is told for each entry.
#include "app/onlinelistdelegate.h"
#include "listfixture.h"
#include "store/testing.h"
#include "widgets/application.h"
#include "widgets/imagelists.h"

#include <QAccessible>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTest>

namespace {

const QColor Green(61, 243, 134);
const QColor Yellow(249, 241, 21);
const QColor Silver(192, 192, 192);
const QColor Red(249, 55, 55);

constexpr int NoRecord = -1; // the nick has no arrival record
constexpr int NoIcon = -1;

// Font changes of a look, by letter: A Arial, U underline, B bold, S strike-out.
QFont LookFont(const QFont& listFont, const QString& styles) {
    QFont font = listFont;
    if (styles.contains(QLatin1Char('A'))) {
        font.setFamilies({QStringLiteral("Arial")});
    }
    font.setUnderline(styles.contains(QLatin1Char('U')));
    font.setBold(styles.contains(QLatin1Char('B')));
    font.setStrikeOut(styles.contains(QLatin1Char('S')));
    return font;
}

QImage Blank(const QColor& colour) {
    QImage image(QSize(179, TOnlineListBox::ItemHeight), QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

QImage Painted(TOnlineListBox& list, int row, bool selected) {
    QImage image = Blank(Qt::magenta); // the item must cover all of it
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(&list);
    option.font = list.font();
    option.rect = image.rect();
    option.state = QStyle::State_Enabled;
    option.state.setFlag(QStyle::State_Selected, selected);
    list.itemDelegate()->paint(&painter, option, list.model()->index(row, 0));
    return image;
}

// The item as it should look: background, the icon at (1, 0), the text at (20, 1), the envelope in the icon's place.
QImage Expected(TOnlineListBox& list, const QList<QIcon>& images, bool selected, int icon, bool envelope,
                const QString& text, const QColor& colour, const QString& styles) {
    QImage image = Blank(list.palette().color(QPalette::Active, selected ? QPalette::Highlight : QPalette::Base));
    QPainter painter(&image);
    const auto drawIcon = [&](int index) {
        painter.drawPixmap(QRect(1, 0, 16, 16), images.at(index).pixmap(QSize(16, 16), 1.0));
    };
    if (icon != NoIcon) {
        drawIcon(icon);
    }
    const QFont font = LookFont(list.font(), styles);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(TOnlineListDelegate::TextOrigin(image.rect(), font), text);
    if (envelope) {
        drawIcon(EnvelopeImage);
    }
    return image;
}

// Pixels of the text's part in about the colour (its strokes' smoothed edges blend with the background).
int PixelsOf(const QImage& image, const QColor& colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 20; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const bool near = qAbs(pixel.red() - colour.red()) < 40 && qAbs(pixel.green() - colour.green()) < 40 &&
                              qAbs(pixel.blue() - colour.blue()) < 40;
            count += near ? 1 : 0;
        }
    }
    return count;
}

// The longest horizontal run of pixels in about the colour: an underline.
int LongestRunOf(const QImage& image, const QColor& colour) {
    int longest = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 20; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const bool near = qAbs(pixel.red() - colour.red()) < 40 && qAbs(pixel.green() - colour.green()) < 40 &&
                              qAbs(pixel.blue() - colour.blue()) < 40;
            run = near ? run + 1 : 0;
            longest = qMax(longest, run);
        }
    }
    return longest;
}

// Counts the list's repaints.
class TPaintCounter : public QObject {
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++Paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestListPainting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { SetSteppedClock(true); }
    void cleanup() { SetSteppedClock(false); }

    void entryIsPainted_data() {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<TTestRooms>("rooms");
        QTest::addColumn<bool>("client");
        QTest::addColumn<int>("arrivedAgo"); // milliseconds; NoRecord: never seen on-line in this run
        QTest::addColumn<bool>("messages");
        QTest::addColumn<int>("watched"); // 0 not watched, 1 watched, 2 watched with the notify flag
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("envelope");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("styles");

        const TTestRooms two{{"Lobby", "1", 12}, {"Bar", "2", 3}};
        const TTestRooms one{{"Lobby", "1", 5}};
        const int limit = 10 * 60000; // StatusRefresh 10
        // While logged in: the state of the service's last reply.
        QTest::newRow("rooms and client, newly arrived: stars, green Arial underlined, the smallest idle")
            << true << two << true << 0 << false << 1 << false << int(RoomAndClientImage) << false << "* alice (3) *"
            << Green << "AU";
        QTest::newRow("rooms and client, arrived long ago: yellow")
            << true << two << true << limit << false << 1 << false << int(RoomAndClientImage) << false << "alice (3)"
            << Yellow << "";
        QTest::newRow("room only, last newly-arrived tick")
            << true << one << false << limit - 1 << false << 1 << false << int(InRoomImage) << false << "* alice (5) *"
            << Green << "AU";
        QTest::newRow("room only, the limit reached") << true << one << false << limit << false << 1 << false
                                                      << int(InRoomImage) << false << "alice (5)" << Yellow << "";
        QTest::newRow("client only, newly arrived: no idle number")
            << true << TTestRooms{} << true << 0 << false << 1 << false << int(ClientOnlyImage) << false << "* alice *"
            << Green << "AU";
        QTest::newRow("client only") << true << TTestRooms{} << true << limit + 1 << false << 1 << false
                                     << int(ClientOnlyImage) << false << "alice" << Yellow << "";
        QTest::newRow("off-line, seen a moment ago: silver, no stars")
            << true << TTestRooms{} << false << 0 << false << 1 << false << int(OfflineImage) << false << "alice"
            << Silver << "";
        QTest::newRow("notify flag: bold") << true << one << false << limit << false << 2 << false << int(InRoomImage)
                                           << false << "alice (5)" << Yellow << "B";
        QTest::newRow("newly arrived with the notify flag: bold as well")
            << true << one << false << 0 << false << 2 << false << int(InRoomImage) << false << "* alice (5) *" << Green
            << "AUB";
        QTest::newRow("no longer watched: struck out, never bold")
            << true << one << false << 0 << false << 0 << false << int(InRoomImage) << false << "* alice (5) *" << Green
            << "AUS";
        QTest::newRow("stored messages: the envelope instead of the state icon")
            << true << one << false << limit << true << 1 << false << NoIcon << true << "alice (5)" << Yellow << "";
        QTest::newRow("selected: highlight behind the same text colour")
            << true << one << false << limit << false << 2 << true << int(InRoomImage) << false << "alice (5)" << Yellow
            << "B";
        // While logged out: nobody's state is known.
        QTest::newRow("logged out, seen in this run: question mark, red")
            << false << one << false << 0 << false << 1 << false << int(OfflineImage) << false << "? alice" << Red
            << "";
        QTest::newRow("logged out, never seen: silver")
            << false << TTestRooms{} << false << NoRecord << false << 1 << false << int(OfflineImage) << false
            << "alice" << Silver << "";
        QTest::newRow("logged out, messages and notify flag") << false << TTestRooms{} << true << NoRecord << true << 2
                                                              << false << NoIcon << true << "alice" << Silver << "B";
        QTest::newRow("logged out, not watched, selected") << false << TTestRooms{} << false << 5 << false << 0 << true
                                                           << int(OfflineImage) << false << "? alice" << Red << "S";
    }
    void entryIsPainted() {
        QFETCH(bool, loggedIn);
        QFETCH(TTestRooms, rooms);
        QFETCH(bool, client);
        QFETCH(int, arrivedAgo);
        QFETCH(bool, messages);
        QFETCH(int, watched);
        QFETCH(bool, selected);
        QFETCH(int, icon);
        QFETCH(bool, envelope);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        QFETCH(QString, styles);

        TListFixture fixture;
        Settings.StatusRefresh = 10;
        if (watched > 0) {
            fixture.Watch(QStringLiteral("ALICE"), watched == 2); // looked up without regard to letter case
        }
        if (arrivedAgo != NoRecord) {
            fixture.Form->ArrivalList.Add(QStringLiteral("Alice")).ArrivalTime = ClockNow() - arrivedAgo;
        }
        fixture.Form->LoggedIn = loggedIn;
        const int row = fixture.AddEntry(QStringLiteral("alice"), rooms, client, messages);

        const QImage painted = Painted(fixture.List(), row, selected);
        QCOMPARE(painted,
                 Expected(fixture.List(), fixture.Form->MenuImageList, selected, icon, envelope, text, colour, styles));
        QVERIFY(PixelsOf(painted, colour) > 0);
        // The text starts right of the icon, its top about a pixel below the item's; an underline stays inside.
        const QFont font = LookFont(fixture.List().font(), styles);
        const QPoint origin = TOnlineListDelegate::TextOrigin(painted.rect(), font);
        QCOMPARE(origin.x(), 20);
        QVERIFY(origin.y() - QFontMetrics(font).ascent() <= 1);
        if (styles.contains(QLatin1Char('U'))) {
            QVERIFY(LongestRunOf(painted, colour) >= QFontMetrics(font).horizontalAdvance(text) / 2);
        }
    }

    void repaintsOnlyWhenSomethingChanged() {
        TListFixture fixture;
        Settings.StatusRefresh = 1;
        fixture.Watch(QStringLiteral("alice"), false);
        fixture.AddEntry(QStringLiteral("alice"), {{"Lobby", "1", 0}});
        fixture.Form->LoggedIn = true;
        fixture.Form->ArrivalList.Add(QStringLiteral("alice")).ArrivalTime = ClockNow();
        fixture.Form->ArrivalsChanged();
        QVERIFY(fixture.ShowWindow());
        TPaintCounter counter;
        fixture.List().viewport()->installEventFilter(&counter);
        QTest::qWait(50);
        counter.Paints = 0;

        for (int second = 0; second < 59; ++second) {
            StepClock(1000);
            QCoreApplication::processEvents();
        }
        QCOMPARE(counter.Paints, 0);

        StepClock(1000); // the end of the first minute: the user stops being new
        QTRY_COMPARE(counter.Paints, 1);
    }

    void entryIsSpoken_data() {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<TTestRooms>("rooms");
        QTest::addColumn<bool>("client");
        QTest::addColumn<int>("arrivedAgo"); // milliseconds; NoRecord: never seen on-line in this run
        QTest::addColumn<bool>("messages");
        QTest::addColumn<QString>("spoken");

        const int limit = 10 * 60000; // StatusRefresh 10
        QTest::newRow("in a room") << true << TTestRooms{{"Lobby", "1", 5}} << false << limit << false
                                   << "alice, v místnosti, 5 minut bez činnosti";
        QTest::newRow("newly arrived in two rooms and the client: the smallest idle")
            << true << TTestRooms{{"Lobby", "1", 12}, {"Bar", "2", 3}} << true << 0 << false
            << "alice, nově příchozí, v místnosti i v klientovi, 3 minuty bez činnosti";
        QTest::newRow("one minute") << true << TTestRooms{{"Lobby", "1", 1}} << false << limit << false
                                    << "alice, v místnosti, 1 minuta bez činnosti";
        QTest::newRow("on the client only: no idle minutes")
            << true << TTestRooms{} << true << limit << false << "alice, v klientovi";
        QTest::newRow("off-line with messages")
            << true << TTestRooms{} << false << NoRecord << true << "alice, mimo chat, nepřečtené zprávy";
        QTest::newRow("logged out, seen in this run")
            << false << TTestRooms{{"Lobby", "1", 5}} << false << 0 << false << "alice, stav neznámý, dříve na chatu";
        QTest::newRow("logged out, never seen")
            << false << TTestRooms{} << false << NoRecord << false << "alice, stav neznámý";
    }
    void entryIsSpoken() {
        QFETCH(bool, loggedIn);
        QFETCH(TTestRooms, rooms);
        QFETCH(bool, client);
        QFETCH(int, arrivedAgo);
        QFETCH(bool, messages);
        QFETCH(QString, spoken);

        TListFixture fixture;
        Settings.StatusRefresh = 10;
        fixture.Watch(QStringLiteral("alice"), false);
        if (arrivedAgo != NoRecord) {
            fixture.Form->ArrivalList.Add(QStringLiteral("alice")).ArrivalTime = ClockNow() - arrivedAgo;
        }
        fixture.Form->LoggedIn = loggedIn;
        fixture.AddEntry(QStringLiteral("bob"));
        const int row = fixture.AddEntry(QStringLiteral("alice"), rooms, client, messages);

        // Asked as a screen reader asks: the list's accessible item in the entry's row, by its name.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&fixture.List());
        QVERIFY(list && list->role() == QAccessible::List);
        QAccessibleInterface* item = list->child(row);
        QVERIFY(item);
        QCOMPARE(item->text(QAccessible::Name), spoken);
    }
};

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TModal::SetTestMode(true);
    TDesktop::SetTestMode(true);
    TestListPainting test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_listpainting.moc"
