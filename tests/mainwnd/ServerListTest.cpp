#include "MainWindowFixture.h"

#include "discovery/ServerQueue.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

using ServerList = MainWindowFixture;

std::u16string Ip(int i)
{
    return u"10.0.0." + QString::number(i).toStdU16String();
}

TEST_F(ServerList, SightingsFromAListenerThreadBecomeRowsOncePerAddress)
{
    OpenWindow();
    std::thread listener([queue = m_window->Feed().Queue()] {
        // Like a listener: push and go on, never waiting for the window.
        for (int i = 1; i <= 10; ++i) {
            for (const char16_t* name : {u"nas", u"again"}) {
                ServerSighting sighting;
                sighting.record = Record(Ip(i), name);
                queue->Push(std::move(sighting));
            }
        }
    });
    listener.join();
    // The queue woke the window; it takes the rows in from its event loop.
    ASSERT_TRUE(QTest::qWaitFor([this] { return RowCount() == 10; }));

    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"10");
    EXPECT_EQ(TextOf("EVENT3"), u"10.0.0.10");
    EXPECT_TRUE(VisibleOf("EVENT2"));
    EXPECT_EQ(Cell(0, u"IPLABEL"), u"10.0.0.1");
    QTest::qWait(100);
    EXPECT_EQ(RowCount(), 10) << "each address is one row";
}

TEST_F(ServerList, EveryFieldLandsUnderItsOwnLabel)
{
    OpenWindow();
    ServerRecord record;
    const char16_t* labels[] = {u"NAMELABEL", u"IPLABEL",         u"PORTLABEL",     u"VERSIONLABEL", u"SERIALLABEL",
                                u"MACLABEL",  u"DEVICETYPELABEL", u"KORVANIDLABEL", u"UPTIMEABEL"};
    for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i)
        record.Field(i) = u"<b>f" + QString::number(i).toStdU16String() + u"</b>\r";
    record.IP = u"10.1.2.3";
    Deliver(record);
    ASSERT_EQ(RowCount(), 1);
    for (std::size_t i = 0; i < ServerRecord::kFieldCount; ++i) {
        SCOPED_TRACE(QString::fromUtf16(labels[i]).toStdString());
        EXPECT_EQ(Cell(0, labels[i]), QString::fromStdU16String(record.Field(i)));
    }
}

TEST_F(ServerList, AddressesMatchAsExactText)
{
    OpenWindow();
    for (const char16_t* ip : {u"10.0.0.1", u"10.0.0.1 ", u"010.0.0.1", u"10.0.0.10", u"10.0.0.1"})
        Deliver(Record(ip));
    EXPECT_EQ(RowCount(), 4);
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"4");
    EXPECT_EQ(TextOf("EVENT3"), u"10.0.0.10");
}

const char* const kRowWithoutMac = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="ServerRow"><layout class="QHBoxLayout">
<item><widget class="QLabel" name="NAMELABEL"/></item><item><widget class="QLabel" name="IPLABEL"/></item>
<item><widget class="QLabel" name="PORTLABEL"/></item><item><widget class="QLabel" name="VERSIONLABEL"/></item>
<item><widget class="QLabel" name="SERIALLABEL"/></item><item><widget class="QLabel" name="DEVICETYPELABEL"/></item>
<item><widget class="QLabel" name="KORVANIDLABEL"/></item><item><widget class="QLabel" name="UPTIMEABEL"/></item>
</layout></widget></ui>)";

const char* const kRowWithoutIp = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><widget class="QWidget" name="ServerRow"><layout class="QHBoxLayout">
<item><widget class="QLabel" name="NAMELABEL"/></item><item><widget class="QLabel" name="PORTLABEL"/></item>
</layout></widget></ui>)";

TEST_F(ServerList, ARowTemplateWithoutMacShowsTheOtherFields)
{
    OpenWindow(u"en", CopyOfSkins(QString::fromUtf8(kRowWithoutMac)));
    Deliver(Record(u"10.0.0.1", u"first"));
    Deliver(Record(u"10.0.0.1", u"again"));
    Deliver(Record(u"10.0.0.2", u"second"));
    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Cell(0, u"MACLABEL"), u"<missing>");
    EXPECT_EQ(Cell(0, u"NAMELABEL"), u"again") << "a row follows its server";
    EXPECT_EQ(Cell(0, u"IPLABEL"), u"10.0.0.1");
    EXPECT_EQ(Cell(0, u"DEVICETYPELABEL"), u"K4");
    EXPECT_EQ(Cell(1, u"UPTIMEABEL"), u"3 days");
}

// Without IPLABEL no row could be recognised again, and every reply (two a
// second per server) would add one more.
TEST_F(ServerList, ARowTemplateWithoutIpAddsNothing)
{
    OpenWindow(u"en", CopyOfSkins(QString::fromUtf8(kRowWithoutIp)));
    Deliver(Record(u"10.0.0.1"));
    Deliver(Record(u"10.0.0.1"));
    EXPECT_EQ(RowCount(), 0);
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"0");
}

TEST_F(ServerList, AMissingRowTemplateAddsNothing)
{
    const QString skins = CopyOfSkins();
    ASSERT_TRUE(QFile::remove(skins + u"listitem.xml"_s));
    OpenWindow(u"en", skins);
    Deliver(Record(u"10.0.0.1"));
    EXPECT_EQ(RowCount(), 0);
}

// Thousands of servers answering twice a second: the duplicate test must not
// grow with the list.
TEST_F(ServerList, ThousandsOfRowsStayCheap)
{
    OpenWindow();
    QElapsedTimer clock;
    clock.start();
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 3000; ++i)
            Deliver(Record(u"10." + QString::number(i / 250).toStdU16String() + u".0." +
                           QString::number(i % 250).toStdU16String()));
    const qint64 ms = clock.elapsed();
    EXPECT_EQ(RowCount(), 3000);
    EXPECT_EQ(TextOf("SERVERNUMLABEL2"), u"3000");
    EXPECT_LT(ms, 3000) << "9000 deliveries took " << ms << " ms";
    RecordProperty("deliveries_ms", static_cast<int>(ms));
}

}  // namespace
