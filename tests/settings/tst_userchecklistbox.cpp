#include "settings/userchecklistbox.h"

#include <QTest>

class TestUserCheckListBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keepsCaseInsensitiveOrder_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("capitals do not sort first")
            << QStringList{u"zora"_qs, u"Adam"_qs, u"bara"_qs} << QStringList{u"Adam"_qs, u"bara"_qs, u"zora"_qs};
        QTest::newRow("letter case alone keeps the adding order")
            << QStringList{u"petr"_qs, u"Ivo"_qs, u"IVA"_qs} << QStringList{u"IVA"_qs, u"Ivo"_qs, u"petr"_qs};
        QTest::newRow("digits and signs before letters")
            << QStringList{u"kuba"_qs, u"_x_"_qs, u"007"_qs} << QStringList{u"007"_qs, u"_x_"_qs, u"kuba"_qs};
    }
    void keepsCaseInsensitiveOrder() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, listed);
        TUserCheckListBox list;
        for (const QString& nick : added) {
            list.AddNick(nick);
        }
        QCOMPARE(list.Nicks(), listed);
    }

    void findsNicksWithoutRegardToCase_data() {
        QTest::addColumn<QString>("nick");
        QTest::addColumn<int>("index");
        QTest::newRow("same spelling") << u"Bara"_qs << 1;
        QTest::newRow("other letter case") << u"bARA"_qs << 1;
        QTest::newRow("Czech letters in other case") << u"ŽOFKA"_qs << 2;
        QTest::newRow("a prefix is no match") << u"Bar"_qs << -1;
        QTest::newRow("empty text") << QString() << -1;
    }
    void findsNicksWithoutRegardToCase() {
        QFETCH(QString, nick);
        QFETCH(int, index);
        TUserCheckListBox list;
        list.ReplaceNicks({u"žofka"_qs, u"Bara"_qs, u"adam"_qs});
        QCOMPARE(list.IndexOfNick(nick), index);
    }

    void flagsFollowTheirEntries() {
        TUserCheckListBox list;
        list.ReplaceNicks({u"b"_qs, u"d"_qs});
        list.SetFlag(list.IndexOfNick(u"d"_qs), true);
        list.AddNick(u"c"_qs);
        list.AddNick(u"a"_qs);
        QCOMPARE(list.Nicks(), (QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs}));
        QCOMPARE(list.FlagAt(3), true);
        QCOMPARE(list.FlagAt(0), false);
        QCOMPARE(list.FlagAt(17), false);
        QCOMPARE(list.NickAt(-1), QString());
    }

    void suspendedSortingAppendsAndResumingSorts() {
        TUserCheckListBox list;
        list.ReplaceNicks({u"bara"_qs, u"dana"_qs});
        list.SetSortingSuspended(true);
        const int position = list.AddNick(u"Adam"_qs);
        QCOMPARE(position, 2);
        list.SetFlag(position, true);
        list.setCurrentRow(position);
        list.SetSortingSuspended(false);
        QCOMPARE(list.Nicks(), (QStringList{u"Adam"_qs, u"bara"_qs, u"dana"_qs}));
        QCOMPARE(list.FlagAt(0), true);
        QCOMPARE(list.currentRow(), 0);
    }

    void replacingEmptiesTheListFirst() {
        TUserCheckListBox list;
        list.ReplaceNicks({u"x"_qs, u"y"_qs});
        list.SetFlag(0, true);
        list.ReplaceNicks({u"y"_qs});
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list.FlagAt(0), false);
    }
};

QTEST_MAIN(TestUserCheckListBox)
#include "tst_userchecklistbox.moc"
