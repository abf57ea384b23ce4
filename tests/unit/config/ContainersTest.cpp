#include "config/Containers.h"
#include "config/KeyCompare.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QStringList keysOf(const TStrHashTable& table)
{
    QStringList keys;
    for (const TStrHashItem& item : table.GetItems())
        keys.append(item.Key);
    return keys;
}

void* valueOf(int n)
{
    static int values[64];
    return &values[n];
}

struct TChange
{
    QString key;
    bool removed;
    void* value;
    bool operator==(const TChange&) const = default;
};

} // namespace

TEST(StrHashTable, HashesUnitsTimesFiveAndPicksTheBucketOfTheUpperCaseKey)
{
    TStrHashTable table(256, false);
    EXPECT_EQ(table.HashOf(u"CONFIG"_s), 270686u);
    EXPECT_EQ(table.HashOf(QString()), 0u);
    // h wraps at 2^32: 20 units of U+FFFF.
    quint32 h = 0;
    for (int i = 0; i < 20; ++i)
        h = h * 5u + 0xFFFFu;
    EXPECT_EQ(table.HashOf(QString(20, QChar(0xFFFF))), h);
    EXPECT_EQ(table.BucketOf(u"Config"_s), 94);
    EXPECT_EQ(table.BucketOf(u"config"_s), 94);
    TStrHashTable exact(256, true);
    EXPECT_EQ(exact.BucketOf(u"CONFIG"_s), 94);
    EXPECT_EQ(exact.BucketOf(u"Config"_s), int(exact.HashOf(u"Config"_s) % 256));
    EXPECT_NE(exact.BucketOf(u"Config"_s), 94);
}

TEST(StrHashTable, CaseInsensitiveTableKeepsTheKeyAsAddedAndTheFirstValue)
{
    TStrHashTable table(256, false);
    EXPECT_TRUE(table.Add(u"Config"_s, valueOf(1)));
    EXPECT_FALSE(table.Add(u"CONFIG"_s, valueOf(2)));
    EXPECT_EQ(table.Count(), 1);
    void* value = valueOf(9);
    ASSERT_TRUE(table.TryGetValue(u"config"_s, value));
    EXPECT_EQ(value, valueOf(1));
    EXPECT_EQ(keysOf(table), QStringList{u"Config"_s});
    void* untouched = valueOf(9);
    EXPECT_FALSE(table.TryGetValue(u"Configs"_s, untouched));
    EXPECT_EQ(untouched, valueOf(9));

    TStrHashTable exact(256, true);
    EXPECT_TRUE(exact.Add(u"Config"_s, valueOf(1)));
    EXPECT_TRUE(exact.Add(u"CONFIG"_s, valueOf(2)));
    EXPECT_FALSE(exact.TryGetValue(u"config"_s, value));
    EXPECT_EQ(exact.Count(), 2);
}

TEST(StrHashTable, FoldsEveryScriptPerUnitWithoutChangingLengths)
{
    TStrHashTable table(256, false);
    ASSERT_TRUE(table.Add(u"Straße"_s, valueOf(1)));
    ASSERT_TRUE(table.Add(u"Ärger"_s, valueOf(2)));
    ASSERT_TRUE(table.Add(u"ſ"_s, valueOf(3)));      // long s
    ASSERT_TRUE(table.Add(u"\u212A"_s, valueOf(4))); // Kelvin sign
    void* value = nullptr;
    EXPECT_TRUE(table.TryGetValue(u"STRAßE"_s, value));
    EXPECT_FALSE(table.TryGetValue(u"STRASSE"_s, value)); // ß never becomes two letters
    EXPECT_TRUE(table.TryGetValue(u"äRGER"_s, value));
    EXPECT_EQ(value, valueOf(2));
    EXPECT_TRUE(table.TryGetValue(u"S"_s, value));
    EXPECT_EQ(value, valueOf(3));
    EXPECT_FALSE(table.Add(u"s"_s, valueOf(5)));
    EXPECT_TRUE(table.TryGetValue(u"k"_s, value));
    EXPECT_EQ(value, valueOf(4));
    // Keys that compare equal share a bucket, or they could not be found.
    EXPECT_EQ(table.BucketOf(u"ſ"_s), table.BucketOf(u"s"_s));
    EXPECT_EQ(table.BucketOf(u"\u212A"_s), table.BucketOf(u"K"_s));
    EXPECT_TRUE(SameTextFolded(u"Éa"_s, u"éA"_s));
    EXPECT_FALSE(SameTextFolded(u"a"_s, u"ab"_s));
    EXPECT_EQ(HashFormOf(u"Config"_s), u"CONFIG"_s);
}

TEST(StrHashTable, IteratesBucketsUpwardsAndChainsFromTheNewestEntry)
{
    // Case-sensitive, 4 buckets: a = 97 and e = 101 share bucket 1, b = 98 is bucket 2.
    TStrHashTable table(4, true);
    table.Add(u"a"_s, valueOf(1));
    table.Add(u"b"_s, valueOf(2));
    table.Add(u"e"_s, valueOf(3));
    EXPECT_EQ(keysOf(table), (QStringList{u"e"_s, u"a"_s, u"b"_s}));
    QStringList visited;
    table.ForEach([&](const QString& key, void*) { visited.append(key); });
    EXPECT_EQ(visited, keysOf(table));
}

TEST(StrHashTable, GrowsFromZeroBucketsToTwiceTheCountBeforeAnAdd)
{
    TStrHashTable table(0, false);
    EXPECT_EQ(table.BucketCount(), 1);
    table.Add(u"a"_s, valueOf(1));
    EXPECT_EQ(table.BucketCount(), 1);
    table.Add(u"e"_s, valueOf(2));
    EXPECT_EQ(table.BucketCount(), 2);
    table.Add(u"i"_s, valueOf(3));
    EXPECT_EQ(table.BucketCount(), 4);
    EXPECT_EQ(table.Count(), 3);
    // A, E and I (65, 69, 73) all land in bucket 1. Before the third Add the chain is E, A;
    // growth adds E then A to the larger table, so A comes first there, and I goes on top.
    EXPECT_EQ(keysOf(table), (QStringList{u"i"_s, u"a"_s, u"e"_s}));
    void* value = nullptr;
    for (const QString& key : {u"A"_s, u"E"_s, u"I"_s, u"a"_s})
        EXPECT_TRUE(table.TryGetValue(key, value)) << key.toStdString();
    EXPECT_TRUE(table.TryGetValue(u"E"_s, value));
    EXPECT_EQ(value, valueOf(2));
    EXPECT_EQ(table.Count(), 3);
    EXPECT_FALSE(table.CaseSensitive());

    TStrHashTable sections(256, false);
    for (int i = 0; i < 256; ++i)
        sections.Add(u"Section%1"_s.arg(i), valueOf(i % 64));
    EXPECT_EQ(sections.BucketCount(), 256);
    sections.Add(u"Section256"_s, valueOf(0));
    EXPECT_EQ(sections.BucketCount(), 512);
    EXPECT_EQ(sections.Count(), 257);
    for (int i = 0; i <= 256; ++i)
        EXPECT_TRUE(sections.TryGetValue(u"SECTION%1"_s.arg(i), value));
}

TEST(StrHashTable, AnnouncesAddsClearsAndCopiesButNotGrowth)
{
    QList<TChange> changes; // outlives the table, which reports its removals when destroyed
    TStrHashTable table(1, false);
    table.OnChange = [&](TStrHashTable& sender, const QString& key, bool removed, void* value) {
        EXPECT_EQ(&sender, &table);
        changes.append({key, removed, value});
    };
    table.Add(u"a"_s, valueOf(1));
    table.Add(u"e"_s, valueOf(2)); // grows
    EXPECT_FALSE(table.Add(u"E"_s, valueOf(3)));
    EXPECT_EQ(changes, (QList<TChange>{{u"a"_s, false, valueOf(1)}, {u"e"_s, false, valueOf(2)}}));
    ASSERT_TRUE(table.OnChange); // restored after growth

    changes.clear();
    const QStringList order = keysOf(table);
    table.Clear();
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[0].key, order[0]);
    EXPECT_EQ(changes[1].key, order[1]);
    EXPECT_TRUE(changes[0].removed && changes[1].removed);
    EXPECT_EQ(table.Count(), 0);
    EXPECT_EQ(table.BucketCount(), 2);
    void* value = nullptr;
    EXPECT_FALSE(table.TryGetValue(u"a"_s, value));

    TStrHashTable source(8, true);
    source.Add(u"x"_s, valueOf(4)); // 120 % 8 = 0
    source.Add(u"p"_s, valueOf(5)); // 112 % 8 = 0
    source.Add(u"y"_s, valueOf(6)); // 121 % 8 = 1
    table.Add(u"old"_s, valueOf(7));
    changes.clear();
    table.Assign(source);
    EXPECT_EQ(changes, (QList<TChange>{{u"old"_s, true, valueOf(7)},
                                       {u"p"_s, false, valueOf(5)},
                                       {u"x"_s, false, valueOf(4)},
                                       {u"y"_s, false, valueOf(6)}}));
    EXPECT_EQ(table.BucketCount(), 8);
    EXPECT_TRUE(table.CaseSensitive());
    EXPECT_EQ(table.Count(), 3);
    EXPECT_EQ(keysOf(table), keysOf(source));
    EXPECT_FALSE(table.TryGetValue(u"X"_s, value));
    // Assigning a table to itself keeps it.
    table.Assign(table);
    EXPECT_EQ(table.Count(), 3);
}

TEST(StrHashTable, DestructionAnnouncesEveryRemoval)
{
    int removed = 0;
    {
        TStrHashTable table(4, false);
        table.Add(u"a"_s, valueOf(1));
        table.Add(u"b"_s, valueOf(2));
        table.OnChange = [&](TStrHashTable&, const QString&, bool isRemoved, void*) { removed += isRemoved; };
    }
    EXPECT_EQ(removed, 2);
}

TEST(StrHashTable, ThreadSafeTableTakesConcurrentAddsAndGrowth)
{
    TStrHashTable table(1, false);
    EXPECT_FALSE(table.IsThreadSafe());
    table.SetThreadSafe(true);
    EXPECT_TRUE(table.IsThreadSafe());
    std::atomic<int> added{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                // Every key is added by two threads in different case; exactly one wins.
                const QString key = u"key%1"_s.arg(i + (t / 2) * 500);
                if (table.Add(t % 2 ? key.toUpper() : key, valueOf(t)))
                    ++added;
                void* value = nullptr;
                EXPECT_TRUE(table.TryGetValue(key, value));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(added.load(), 1000);
    EXPECT_EQ(table.Count(), 1000);
    EXPECT_EQ(table.GetItems().size(), 1000);
    table.SetThreadSafe(false);
    EXPECT_FALSE(table.IsThreadSafe());
}

TEST(PropertyList, SetValueReplacesInPlaceFoldingOnlyAsciiLetters)
{
    TPropertyList list;
    list.SetValue(u"runonstartup"_s, u"False"_s);
    list.SetValue(u"Beep"_s, u"True"_s);
    list.SetValue(u"RunOnStartup"_s, u"True"_s);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0).Name, u"runonstartup"_s);
    EXPECT_EQ(list.Items(0).Value, u"True"_s);
    EXPECT_EQ(list.GetItem(1).Name, u"Beep"_s);
    EXPECT_EQ(list.IndexOf(u"BEEP"_s), 1);
    EXPECT_EQ(list.IndexOf(u"Bee"_s), -1);

    list.SetValue(u"É"_s, u"1"_s);
    list.SetValue(u"é"_s, u"2"_s);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.IndexOf(u"É"_s), 2);
    EXPECT_EQ(list.IndexOf(u"é"_s), 3);
    QString value;
    EXPECT_TRUE(list.TryGetValue(u"é"_s, value));
    EXPECT_EQ(value, u"2"_s);
    EXPECT_FALSE(list.TryGetValue(u"e"_s, value));
    EXPECT_EQ(value, u"2"_s);

    // Add appends without looking; the first entry of a name is the one found.
    list.Add(u"beep"_s, u"False"_s);
    EXPECT_EQ(list.Count(), 5);
    EXPECT_TRUE(list.TryGetValue(u"beep"_s, value));
    EXPECT_EQ(value, u"True"_s);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(PropertyList, RejectsNamesWithEqualsAndIndexesOutOfRange)
{
    TPropertyList list;
    list.Add(u"a"_s, u"1"_s);
    try {
        list.Add(u"a=b"_s, u"2"_s);
        FAIL() << "no error";
    } catch (const EPropertyListError& error) {
        EXPECT_EQ(error.message(), u"Invalid name in property list (a=b)"_s);
    }
    EXPECT_THROW(list.SetValue(u"=x"_s, u"2"_s), EPropertyListError);
    EXPECT_EQ(list.Count(), 1);
    for (int index : {-1, 1, 100}) {
        try {
            list.Items(index);
            FAIL() << "no error for " << index;
        } catch (const EAssertionFailed& error) {
            EXPECT_STREQ(error.what(), "Assertion failure");
        }
        EXPECT_THROW(list.GetItem(index), EAssertionFailed);
    }
    EXPECT_EQ(list.Items(0).Value, u"1"_s);
}
