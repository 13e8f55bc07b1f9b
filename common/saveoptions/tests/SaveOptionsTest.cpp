#include "common/saveoptions/SaveOptions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace saveoptions;

namespace {

QDateTime At(int y, int mo, int d, int h = 0, int mi = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

struct PeriodCase {
    const char* name;
    int index;
    QDateTime now, start, end;
};

TEST(SaveOptions, PredefinedPeriodsFollowTheCalendar) {
    const PeriodCase cases[] = {
        // 13 December 2026 is a Sunday: the week ends today.
        {"week on a Sunday", 1, At(2026, 12, 13, 14), At(2026, 12, 7, 14), At(2026, 12, 13, 14)},
        {"week on a Friday", 1, At(2026, 12, 11, 9), At(2026, 11, 30, 9), At(2026, 12, 6, 9)},
        {"three weeks", 3, At(2026, 12, 11, 9), At(2026, 11, 16, 9), At(2026, 12, 6, 9)},
        {"3 months from March", 4, At(2024, 3, 15), At(2023, 12, 1), At(2024, 2, 29)},
        {"9 months from December", 6, At(2026, 12, 11), At(2026, 3, 1), At(2026, 11, 30)},
        {"6 months from June", 5, At(2026, 6, 2), At(2025, 12, 1), At(2026, 5, 31)},
        {"1 year from January", 7, At(2026, 1, 15, 10), At(2025, 1, 1), At(2025, 12, 31)},
        {"3 years", 9, At(2026, 1, 15, 10), At(2023, 1, 1), At(2025, 12, 31)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto range = PeriodRange(c.index, c.now);
        ASSERT_TRUE(range.has_value());
        EXPECT_EQ(FromOleDate(range->start.value), c.start);
        EXPECT_EQ(FromOleDate(range->end.value), c.end);
    }
    EXPECT_FALSE(PeriodRange(0, At(2026, 1, 1)).has_value());
    EXPECT_FALSE(PeriodRange(10, At(2026, 1, 1)).has_value());
}

TEST(SaveOptions, OleDatesCountDaysSinceTheEpoch) {
    EXPECT_DOUBLE_EQ(ToOleDate(At(1899, 12, 30)).value, 0.0);
    EXPECT_DOUBLE_EQ(ToOleDate(At(1900, 1, 1, 18)).value, 2.75);
    EXPECT_EQ(FromOleDate(ToOleDate(At(2018, 7, 3, 9, 5)).value), At(2018, 7, 3, 9, 5));
    EXPECT_FALSE(FromOleDate(1e300).isValid());
}

TEST(SaveOptions, ManualRangesRefuseReversedAndRepeatedRanges) {
    std::vector<DateRange> ranges;
    EXPECT_EQ(AddManualRange(ranges, At(2018, 1, 2), At(2018, 1, 1)), AddRange::EndBeforeStart);
    EXPECT_EQ(AddManualRange(ranges, At(2018, 1, 1, 8), At(2018, 1, 1, 8)), AddRange::Added);
    // Same dates at another time of day read the same in the list: one row, one record.
    EXPECT_EQ(AddManualRange(ranges, At(2018, 1, 1, 9), At(2018, 1, 1, 10)), AddRange::AlreadyListed);
    EXPECT_EQ(ranges.size(), 1u);
    EXPECT_EQ(RangeRowText(At(2026, 12, 11)), QStringLiteral("Friday, December 11, 2026"));
}

TEST(SaveOptions, SaveDialogChecksFolderAndRanges) {
    QTemporaryDir dir;
    RunOptions options = DialogDefaults();
    SaveDialogChoices choices;
    EXPECT_EQ(ApplySaveDialog(choices, At(2026, 1, 1), options), QString::fromLatin1(msg::kInvalidFolder));
    choices.folderPath = dir.path();
    choices.manual = true;
    EXPECT_EQ(ApplySaveDialog(choices, At(2026, 1, 1), options), QString::fromLatin1(msg::kNoRange));
    EXPECT_EQ(options.pstTargetFolder, QDir::toNativeSeparators(dir.path()) + QDir::separator());
    choices.manual = false;
    choices.periodIndex = 7;
    options.dateRanges.push_back({});
    EXPECT_TRUE(ApplySaveDialog(choices, At(2026, 1, 1), options).isEmpty());
    ASSERT_EQ(options.dateRanges.size(), 1u);
    choices.periodIndex = 0;
    EXPECT_TRUE(ApplySaveDialog(choices, At(2026, 1, 1), options).isEmpty());
    EXPECT_TRUE(options.dateRanges.empty());
}

TEST(SaveOptions, DomainCheck) {
    const std::pair<const char*, bool> cases[] = {
        {"acme.com", true},  {"my-firm_2.de", true}, {".org", true},     {"", false},
        {"acme", false},     {"acme.c", false},      {"a.b.com", false}, {"ac me.com", false},
        {"acme.co1", false}, {"acmé.com", false},
    };
    for (const auto& [domain, valid] : cases)
        EXPECT_EQ(IsValidSmtpDomain(QString::fromUtf8(domain)), valid) << domain;
}

TEST(SaveOptions, CsvLines) {
    struct Case {
        const char* line;
        bool entry, notValid;
        const char *name, *address;
    } cases[] = {
        {"  ann smith , ann@acme.example", true, false, "ANN SMITH", "ann@acme.example"},
        {"\"Lee, Bob\",\"bob@acme.example\"", true, false, "LEE, BOB", "bob@acme.example"},
        {"\"Zoë\",,,\"zoe@x.example\",  ", true, false, "ZOË", "zoe@x.example"},
        {"\"unclosed, x@y", false, false, "", ""},
        {"no comma here", false, true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        QString name, address;
        bool notValid = false;
        EXPECT_EQ(ParseCsvLine(QByteArray(c.line), name, address, notValid), c.entry);
        EXPECT_EQ(notValid, c.notValid);
        if (c.entry) {
            EXPECT_EQ(name, QString::fromUtf8(c.name));
            EXPECT_EQ(address, QString::fromUtf8(c.address));
        }
    }
}

TEST(SaveOptions, CsvFileStopsAtTheFirstInvalidLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.csv");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ann,a@x.example\r\nANN,b@x.example\nbroken\ncarl,c@x.example\n");
    f.close();
    std::map<QString, QString> table;
    EXPECT_EQ(ReadAddressCsv(path, table), CsvRead::NotValid);
    EXPECT_EQ(table, (std::map<QString, QString>{{"ANN", "b@x.example"}}));
    EXPECT_EQ(ReadAddressCsv(dir.filePath("missing.csv"), table), CsvRead::CannotOpen);
}

TEST(SaveOptions, NamesNsfGivesFullAndBuiltNames) {
    std::map<QString, QString> table;
    ASSERT_TRUE(ReadNamesNsfAddresses(QStringLiteral(NSF_SOURCE_DIR "/data/names.dxl"), table));
    EXPECT_EQ(table[QStringLiteral("ANN SMITH")],
              QStringLiteral("ann.smith@acme.example;ann.smith@acme.example;asmith@other.example"));
    EXPECT_EQ(table[QStringLiteral("ROBERT LEE")], QStringLiteral("bob.lee@acme.example"));
    EXPECT_EQ(table[QStringLiteral("BOB J LEE")], QStringLiteral("bob.lee@acme.example"));
    EXPECT_FALSE(table.contains(QStringLiteral("NO ADDRESS")));
    QString error;
    EXPECT_FALSE(ReadNamesNsfAddresses(QStringLiteral("/nonexistent/names.nsf"), table, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(SaveOptions, AdvancedSettingsRefuseInOrder) {
    QTemporaryDir dir;
    const QString csv = dir.filePath("a.csv");
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("ann,a@x.example\n");
    f.close();
    struct Case {
        const char* name;
        void (*set)(AdvancedChoices&);
        const char* message;
    } cases[] = {
        {"bad domain", [](AdvancedChoices& c) { c.addressTranslation = true; }, msg::kInvalidDomain},
        {"no csv",
         [](AdvancedChoices& c) {
             c.addressTranslation = true;
             c.smtpDomain = "acme.com";
             c.csvPath = "/nonexistent.csv";
         },
         msg::kCsvCannotOpen},
        {"no source",
         [](AdvancedChoices& c) {
             c.addressTranslation = true;
             c.smtpManual = c.csvSource = c.namesNsfSource = false;
         },
         msg::kNoTranslationSource},
        {"empty mapping", [](AdvancedChoices& c) { c.folderMapping = true; }, msg::kNoFolderMapping},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AdvancedChoices choices;
        c.set(choices);
        RunOptions options = DialogDefaults();
        EXPECT_EQ(ApplyAdvancedSettings(choices, options), QString::fromLatin1(c.message));
    }
    AdvancedChoices choices;
    choices.addressTranslation = true;
    choices.smtpDomain = "acme.com";
    choices.smtpPattern = 2;
    choices.csvPath = csv;
    choices.namesNsfPath = QStringLiteral(NSF_SOURCE_DIR "/data/names.dxl");
    choices.excludeAllFolder = false;
    choices.folderMapping = true;
    choices.folderMap = {{"Inbox", "Posteingang"}};
    RunOptions options = DialogDefaults();
    EXPECT_TRUE(ApplyAdvancedSettings(choices, options).isEmpty());
    EXPECT_EQ(options.includeAllFolder, 1u);
    EXPECT_EQ(options.smtpFormat, 2u);
    EXPECT_EQ(options.csvTranslationOn + options.namesNsfTranslationOn + options.smtpPatternOn, 3);
    EXPECT_EQ(options.addressMap[QStringLiteral("ANN")], QStringLiteral("a@x.example"));
    EXPECT_TRUE(options.addressMap.contains(QStringLiteral("BOB J LEE")));
    EXPECT_EQ(options.folderMap.size(), 9u);
    EXPECT_EQ(options.folderMappingOn, 1);
}

TEST(SaveOptions, ListingPathsAreCleanedAndMapped) {
    RunOptions options = DialogDefaults();
    options.folderMappingOn = 1;
    options.folderMap[QStringLiteral("Inbox")] = QStringLiteral("Posteingang");
    const std::pair<const char*, const char*> cases[] = {
        {"Inbox", "Posteingang"},
        {"Inbox\\Old", "Posteingang\\Old"},
        {"Projects\\2019\\Q1: Plan/Review?", "Projects\\2019\\Q1  Plan Review "},
        {"Clients\\\\ACME", "Clients\\\\ACME"},
        {"A\\B\\\\", "A\\B"},
        {"\\Lead", " Lead"},
        {"say \"hi\"\t", "say \"hi\" "},
        {"Sent Items", "Sent Items"},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(ListingFolderPath(QString::fromUtf8(name), options), QString::fromUtf8(path)) << name;
    options.folderMappingOn = 0;
    EXPECT_EQ(ListingFolderPath(QStringLiteral("Inbox"), options), QStringLiteral("Inbox"));
    EXPECT_FALSE(IsValidCustomFolderName(QStringLiteral("a\\b")));
    EXPECT_TRUE(IsValidCustomFolderName(QStringLiteral("Posteingang 2")));
}

}  // namespace
