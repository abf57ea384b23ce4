// Random input with a fixed seed: the INI reader and the containers must neither crash nor
// hang, and what they keep must stay what they were given.
#include "ConfigTestSupport.h"
#include "TestSupport.h"
#include "config/BaseConfigMgr.h"
#include "config/Containers.h"
#include "config/IniConfigIO.h"
#include "config/KeyCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace Qt::StringLiterals;

namespace {

// Mostly INI-shaped bytes, with any byte value now and then.
QByteArray randomIniBytes(std::mt19937& random)
{
    static const char pieces[][8] = {
        "[", "]", "=", ";",      "\r\n",     "\n",           "\r",   " ",        "\t",
        "a", "B", "k", "Config", "\xC4\xE3", "\xE4\xBD\xA0", "\x00", "\xFF\xFE", "\xEF\xBB\xBF"};
    static const int pieceLengths[] = {1, 1, 1, 1, 2, 1, 1, 1, 1, 1, 1, 1, 6, 2, 3, 1, 2, 3};
    std::uniform_int_distribution<int> length(0, 120);
    std::uniform_int_distribution<int> piece(0, int(std::size(pieces)) - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> coin(0, 9);
    QByteArray data;
    switch (coin(random) % 4) { // a mark decides the encoding
    case 0:
        data = "\xFF\xFE";
        break;
    case 1:
        data = "\xFE\xFF";
        break;
    default:
        break;
    }
    for (int i = length(random); i > 0; --i) {
        if (coin(random) == 0) {
            data.append(char(byte(random)));
        } else {
            const int p = piece(random);
            data.append(pieces[p], pieceLengths[p]);
        }
    }
    return data;
}

QString randomKey(std::mt19937& random)
{
    static const char16_t units[] = {u'a',  u'A',      u'b',      u'B',  u'z', u'ß', u'ſ', u's',
                                     u'S',  u'\u212A', u'k',      u'K',  u'é', u'É', u'=', u' ',
                                     u'\0', u'\xD800', u'\xDC00', u'你', u'İ', u'ı', u'i'};
    std::uniform_int_distribution<int> length(0, 4);
    std::uniform_int_distribution<int> unit(0, int(std::size(units)) - 1);
    QString key;
    for (int i = length(random); i > 0; --i)
        key += QChar(units[unit(random)]);
    return key;
}

} // namespace

class ConfigFuzz : public ConfigFileTest
{
};

TEST_F(ConfigFuzz, RandomFilesLoadAndWhatWasReadSurvivesASave)
{
    std::mt19937 random(20240305);
    const QString file = path(u"fuzz.ini"_s);
    int compared = 0;
    for (int round = 0; round < 250; ++round) {
        const QByteArray input = randomIniBytes(random);
        SCOPED_TRACE(Dump(input));
        WriteBytes(file, input);
        TBaseConfigMgr first;
        ASSERT_NO_THROW(first.LoadFromFile(file));
        const QStringList read = StoreDump(first);
        ASSERT_NO_THROW(first.SaveToFile(file));
        const QByteArray saved = ReadBytes(file);
        TBaseConfigMgr second;
        ASSERT_NO_THROW(second.LoadFromFile(file));
        // A save may drop what the format drops (comments, stray lines), which can turn GB18030
        // bytes into valid UTF-8; only text read the same way again must come back the same.
        if (TIniConfigIO::EncodingOf(saved) == TIniConfigIO::EncodingOf(input) ||
            TIniConfigIO::EncodingOf(saved) == TIniConfigIO::TEncoding::Ansi) {
            EXPECT_EQ(StoreDump(second), read);
            ++compared;
        }
    }
    EXPECT_GT(compared, 180);
}

TEST(ContainersFuzz, RandomKeysBehaveLikeAPlainListOfKeys)
{
    std::mt19937 random(3574);
    for (bool caseSensitive : {false, true}) {
        TStrHashTable table(int(random() % 4), caseSensitive);
        TPropertyList list;
        QStringList modelKeys;
        QList<QPair<QString, QString>> modelItems;
        auto same = [&](const QString& a, const QString& b) {
            return caseSensitive ? a == b : SameTextFolded(a, b);
        };
        static int values[1];
        for (int i = 0; i < 3000; ++i) {
            const QString key = randomKey(random);
            const bool known = std::any_of(modelKeys.begin(), modelKeys.end(),
                                           [&](const QString& k) { return same(k, key); });
            const bool added = table.Add(key, values);
            ASSERT_EQ(added, !known) << i;
            if (added)
                modelKeys.append(key);
            void* value = nullptr;
            ASSERT_TRUE(table.TryGetValue(key, value));
            // Another spelling of the key that folds alike finds it too.
            const QString variant = HashFormOf(key);
            if (!caseSensitive && SameTextFolded(key, variant)) {
                ASSERT_TRUE(table.TryGetValue(variant, value)) << i;
            }

            const QString text = QString::number(i);
            const auto found = std::find_if(modelItems.begin(), modelItems.end(),
                                            [&](const auto& item) { return SameTextAscii(item.first, key); });
            if (key.contains(u'=')) {
                ASSERT_THROW(list.SetValue(key, text), EPropertyListError);
            } else {
                list.SetValue(key, text);
                if (found != modelItems.end())
                    found->second = text;
                else
                    modelItems.append({key, text});
            }
        }
        ASSERT_EQ(table.Count(), modelKeys.size());
        QStringList keys;
        for (const TStrHashItem& item : table.GetItems())
            keys.append(item.Key);
        QStringList expected = modelKeys;
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected);
        ASSERT_EQ(list.Count(), modelItems.size());
        for (int i = 0; i < list.Count(); ++i) {
            EXPECT_EQ(list.Items(i).Name, modelItems[i].first);
            EXPECT_EQ(list.Items(i).Value, modelItems[i].second);
        }
    }
}
