// The store interface through the paths its callers use: the launcher's skeleton, the folder
// and calendar runs' collections, items filled, imported and saved, and the wrapping rule.
#include <sys/wait.h>
#include <unistd.h>

#include "common/pst/PstCheck.h"
#include "common/pst/PstDates.h"
#include "common/pst/tests/pststore_samples.h"
#include "common/pst/tests/pststore_support.h"

namespace {

struct SkeletonFolder {
    const char* name;
    PstFolderKind kind;
    const char* containerClass;
};

// What the launcher passes for the standard names, and one nested folder of its own.
const SkeletonFolder kSkeleton[] = {
    {"Tasks", PstFolderKind::Class(QStringLiteral("IPF.Task")), "IPF.Task"},
    {"Sent Items", PstFolderKind::Default(kPstSentItems), "IPF.Note"},
    {"Inbox", PstFolderKind::Default(kPstInbox), "IPF.Note"},
    {"Drafts", PstFolderKind::Default(kPstDrafts), "IPF.Note"},
    {"Calendar", PstFolderKind::Class(QStringLiteral("IPF.Appointment")), "IPF.Appointment"},
    {"Contacts", PstFolderKind::Default(kPstContacts), "IPF.Contact"},
    {"Notes", PstFolderKind::Class(QStringLiteral("IPF.StickyNote")), "IPF.StickyNote"},
    {"Projects", PstFolderKind::None(), "IPF.Note"},
    {"Q3  Plans Old", PstFolderKind::None(), "IPF.Note"},
};

TEST_F(StoreTest, LauncherSkeletonThenFolderRunsFindTheirFolders) {
    const QString pst = Path(QStringLiteral("MAIL.PST"));
    {
        PstSession session;
        PstStore store = session.OpenStore(pst, 1, QStringLiteral("Personal Folders"));
        ASSERT_TRUE(store) << session.LastError().toStdString();
        EXPECT_TRUE(store.Prepare());
        EXPECT_EQ(store.TopFolder().Path(), QStringLiteral("\\\\Personal Folders"));
        for (const auto& f : kSkeleton) {
            PstFolder added = store.TopFolder().Folders().Add(QString::fromLatin1(f.name), f.kind);
            ASSERT_TRUE(added) << f.name;
            EXPECT_EQ(added.ContainerClass(), QLatin1String(f.containerClass)) << f.name;
        }
        // Looked up again with other letter case, and a second level as the launcher splits it.
        PstFolder inbox = store.TopFolder().Folders().Item(QStringLiteral("INBOX"));
        ASSERT_TRUE(inbox);
        EXPECT_EQ(inbox.Folders().Add(QStringLiteral("2019")).Path(),
                  QStringLiteral("\\\\Personal Folders\\Inbox\\2019"));
        EXPECT_EQ(store.TopFolder().Folders().Add(QStringLiteral("inbox")).Id(), inbox.Id());
        session.LogOff();
        EXPECT_FALSE(store.TopFolder());  // handles held after log-off do nothing
    }
    PstSession session;
    PstStore store = session.OpenStore(pst);
    ASSERT_TRUE(store) << session.LastError().toStdString();
    EXPECT_TRUE(store.FolderByPath(QStringLiteral("\\\\Personal Folders\\Inbox\\2019")));
    EXPECT_TRUE(store.FolderByPath(QStringLiteral("\\\\Personal Folders\\Projects\\")));
    EXPECT_FALSE(store.FolderByPath(QStringLiteral("\\\\Personal Folders\\Nowhere")));
    // The launcher created "Q3  Plans Old" from the record "Q3: Plans/Old" and hands on the latter.
    EXPECT_TRUE(store.FolderByPath(QStringLiteral("\\\\Personal Folders\\Q3: Plans/Old")));
    EXPECT_FALSE(session.LastError().isEmpty());
    // The run's default folders are the skeleton's folders, group lists go with the contacts.
    const struct {
        int code;
        const char* name;
    } defaults[] = {{kPstCalendar, "Calendar"},
                    {kPstContacts, "Contacts"},
                    {kPstTasks, "Tasks"},
                    {kPstGroupLists, "Contacts"}};
    for (const auto& d : defaults)
        EXPECT_EQ(store.DefaultFolder(d.code).Name(), QLatin1String(d.name)) << d.code;
    EXPECT_EQ(store.TopFolder().Folders().Count(), int(std::size(kSkeleton)) + 1);  // + Deleted Items
}

TEST_F(StoreTest, DefaultFolderMissingIsMadeOnceUnderItsStandardName) {
    PstSession session;
    PstStore store = session.OpenStore(Path(QStringLiteral("a.pst")));
    ASSERT_TRUE(store);
    PstFolder cal = store.DefaultFolder(kPstCalendar);
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal.Name(), QStringLiteral("Calendar"));
    EXPECT_EQ(cal.ContainerClass(), QStringLiteral("IPF.Appointment"));
    EXPECT_EQ(store.DefaultFolder(kPstCalendar).Id(), cal.Id());
    EXPECT_EQ(store.DefaultFolder(kPstGroupLists).Id(), store.DefaultFolder(kPstContacts).Id());
    EXPECT_EQ(store.TopFolder().Folders().Count(), 3);  // Deleted Items, Calendar, Contacts
    EXPECT_FALSE(store.DefaultFolder(77));
}

TEST_F(StoreTest, FailuresGiveEmptyResultsWithAReason) {
    PstSession session;
    EXPECT_FALSE(session.OpenStore(Write(QStringLiteral("bad.pst"), "not a PST file at all")));
    EXPECT_FALSE(session.LastError().isEmpty());
    EXPECT_FALSE(session.OpenStore(Path(QStringLiteral("no/such/dir/x.pst"))));
    EXPECT_FALSE(session.OpenStore(Path(QStringLiteral("x.pst")), 2));
    // Empty handles do nothing.
    PstItem none;
    none.SetSubject(QStringLiteral("x"));
    EXPECT_FALSE(none.Save());
    EXPECT_FALSE(PstFolder().Items().Add(QStringLiteral("IPM.Note")));
    EXPECT_EQ(PstStore().TopFolder().Path(), QString());

    QStringList sunk;
    session.SetErrorSink([&](const QString& line) { sunk << line; });
    PstStore store = session.OpenStore(Path(QStringLiteral("ok.pst")));
    ASSERT_TRUE(store);
    PstItem item = store.TopFolder().Items().Add(QStringLiteral("IPM.Note"));
    EXPECT_FALSE(item.Import(Path(QStringLiteral("missing.eml")), kPstImportEml));
    EXPECT_FALSE(item.Import(Write(QStringLiteral("x.eml"), "x"), 77));
    ASSERT_EQ(sunk.size(), 2);
    EXPECT_TRUE(sunk[0].contains(QStringLiteral("missing.eml")));
    EXPECT_FALSE(store.TopFolder().Items().Add(QStringLiteral("Note")));
}

TEST_F(StoreTest, SavedItemSurvivesAKilledProcess) {
    const QString pst = Path(QStringLiteral("k.pst"));
    {
        PstSession session;
        ASSERT_TRUE(session.OpenStore(pst));
    }
    const pid_t child = fork();
    if (child == 0) {
        PstSession session;
        PstStore store = session.OpenStore(pst);
        PstItem saved = store.TopFolder().Items().Add(QStringLiteral("IPM.Note"));
        saved.SetSubject(QStringLiteral("kept"));
        const bool ok = saved.Save();
        PstItem unsaved = store.TopFolder().Items().Add(QStringLiteral("IPM.Note"));
        unsaved.SetSubject(QStringLiteral("never saved"));
        _exit(ok ? 0 : 1);  // no log-off, no destructor: as if killed
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto msgs = Messages(pst, {});
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(Str(msgs[0].props, pst::PidTagSubject), QStringLiteral("kept"));
}

TEST_F(StoreTest, MailImportedFromTheWritersEml) {
    QByteArray eml = Golden("mail_full.eml");
    eml.replace("@BOUNDARY@", "b-1");
    const QString pst = Path(QStringLiteral("m.pst"));
    {
        PstSession session;
        PstStore store = session.OpenStore(pst);
        PstItem item = store.TopFolder()
                           .Folders()
                           .Add(QStringLiteral("Inbox"), PstFolderKind::Default(kPstInbox))
                           .Items()
                           .Add(QStringLiteral("IPM.Note"));
        ASSERT_TRUE(item.Import(Write(QStringLiteral("0.eml"), eml), kPstImportEml))
            << session.LastError().toStdString();
        item.SetRead(false);
        item.SetSent(true);
        item.SetUnmodified(true);
        item.SetCategories(QStringLiteral("Blue;Work"));
        ASSERT_TRUE(item.Save());
        EXPECT_FALSE(item.Save());  // once only
    }
    auto msgs = Messages(pst, QStringLiteral("Inbox"));
    ASSERT_EQ(msgs.size(), 1u);
    const auto& m = msgs[0];
    EXPECT_EQ(Str(m.props, pst::PidTagSubject), QStringLiteral("Café: Plan/Q3?"));
    EXPECT_EQ(Str(m.props, pst::PidTagSenderName), QStringLiteral("ann@acme.com"));
    EXPECT_EQ(Str(m.props, 0x0C1F), QStringLiteral("ann@acme.com"));
    EXPECT_EQ(Long(m.props, pst::PidTagMessageFlags) & 0xB, 0x2);  // unread, unmodified, not unsent
    EXPECT_EQ(pst::AsI8(m.props.at(pst::PidTagMessageDeliveryTime)),
              131750823060000000ull);  // 2018-07-03 09:05:06Z
    const struct {
        uint32_t type;
        const char* name;
        const char* address;
        const char* addrType;
    } people[] = {{1, "bob@acme.com", "bob@acme.com", "SMTP"},
                  {1, "Cy Wu", "Cy Wu", "NOTES"},
                  {2, "Di Ma", "Di Ma", "NOTES"},
                  {3, "ed@acme.com", "ed@acme.com", "SMTP"}};
    ASSERT_EQ(m.recipients.size(), std::size(people));
    for (size_t i = 0; i < std::size(people); ++i) {
        EXPECT_EQ(Long(m.recipients[i], pst::PidTagRecipientType), people[i].type);
        EXPECT_EQ(Str(m.recipients[i], pst::PidTagDisplayName), QLatin1String(people[i].name));
        EXPECT_EQ(Str(m.recipients[i], pst::PidTagEmailAddress), QLatin1String(people[i].address));
        EXPECT_EQ(Str(m.recipients[i], pst::PidTagAddressType), QLatin1String(people[i].addrType));
    }
    EXPECT_EQ(Str(m.props, pst::PidTagDisplayTo), QStringLiteral("bob@acme.com; Cy Wu"));
    const auto html = m.props.at(pst::PidTagHtml).data;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(html.data()), qsizetype(html.size())),
              QByteArray("<p>Grüße</p>"));
    EXPECT_EQ(Str(m.props, pst::PidTagBody), QStringLiteral("Grüße"));  // the text Outlook previews
    ASSERT_EQ(m.attachments.size(), 3u);
    EXPECT_EQ(Str(m.attachments[1].props, pst::PidTagAttachLongFilename), QStringLiteral("report.txt"));
    EXPECT_EQ(m.attachments[1].data, pst::Bytes({'h', 'e', 'l', 'l', 'o', '\n'}));
    EXPECT_EQ(Str(m.attachments[2].props, pst::PidTagAttachLongFilename), QStringLiteral("a b c.txt"));
    EXPECT_EQ(m.attachments[2].data.size(), 256u);
}

TEST_F(StoreTest, MailFromOtherMailersKeepsItsPeopleAndInlineImage) {
    const QString pst = Path(QStringLiteral("r.pst"));
    {
        PstSession session;
        PstItem item = session.OpenStore(pst).TopFolder().Items().Add(QStringLiteral("IPM.Note"));
        ASSERT_TRUE(item.Import(Write(QStringLiteral("r.eml"), kRichEml), kPstImportEml));
        ASSERT_TRUE(item.Save());
    }
    const auto msgs = Messages(pst, {});
    ASSERT_EQ(msgs.size(), 1u);
    const auto& m = msgs[0];
    EXPECT_EQ(Str(m.props, pst::PidTagSubject), QStringLiteral("Résumé of Q3"));
    EXPECT_EQ(Str(m.props, pst::PidTagSenderName), QStringLiteral("Ann Løe"));
    EXPECT_EQ(Str(m.props, 0x5D01), QStringLiteral("ann@acme.com"));
    EXPECT_EQ(pst::AsI8(m.props.at(pst::PidTagMessageDeliveryTime)),
              131750829000000000ull);  // 10:15 at +01:00
    ASSERT_EQ(m.recipients.size(), 2u);
    EXPECT_EQ(Str(m.recipients[0], pst::PidTagDisplayName), QStringLiteral("Lee, Bo"));
    EXPECT_EQ(Str(m.recipients[0], pst::PidTagEmailAddress), QStringLiteral("bo@acme.com"));
    EXPECT_EQ(Str(m.recipients[1], pst::PidTagDisplayName), QStringLiteral("Cy Wü"));
    EXPECT_EQ(Str(m.props, pst::PidTagBody), QStringLiteral("Grüße from the plain part"));
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(Str(m.attachments[0].props, 0x3712), QStringLiteral("logo@acme"));
    EXPECT_EQ(m.attachments[0].props.at(0x7FFE).data,
              pst::MakeBool(true).data);  // shown in place, not listed
    EXPECT_EQ(Str(m.attachments[1].props, pst::PidTagAttachLongFilename), QStringLiteral("Bericht ä.pdf"));
    EXPECT_EQ(Str(m.attachments[1].props, pst::PidTagAttachMimeTag), QStringLiteral("application/pdf"));
    EXPECT_FALSE(m.attachments[1].props.count(0x7FFE));
}

}  // namespace

namespace {

TEST_F(StoreTest, OwnNamedTextReadBackOverAFolder) {
    const QUuid set(QStringLiteral("{8C4B2E61-3F0A-4D5C-9B7E-2A1D6F30C5E8}"));
    const QString pst = Path(QStringLiteral("n.pst"));
    {
        PstSession session;
        PstItems items = session.OpenStore(pst).TopFolder().Folders().Add(QStringLiteral("Inbox")).Items();
        for (const char* v : {"00AA", "", "11BB"}) {
            PstItem item = items.Add(QStringLiteral("IPM.Note"));
            if (*v) item.SetNamedText(set, QStringLiteral("NotesUniversalID"), QLatin1String(v));
            ASSERT_TRUE(item.Save());
        }
    }
    PstSession session;
    PstItems items =
        session.OpenStore(pst).FolderByPath(QStringLiteral("\\\\Personal Folders\\Inbox")).Items();
    EXPECT_EQ(items.NamedTextValues(set, QStringLiteral("NotesUniversalID")), QStringList({"00AA", "11BB"}));
    EXPECT_EQ(items.NamedTextValues(set, QStringLiteral("Other")), QStringList());
    EXPECT_EQ(items.Count(), 3);
}

}  // namespace

namespace {

TEST(PstDates, MonthFirstOnEverySystemInTheWritersZone) {
    const QTimeZone utc = QTimeZone::utc(), plusOne(3600);
    const struct {
        const char* text;
        QTimeZone zone;
        const char* utcIso;  // empty: not a date
    } cases[] = {
        {"7/3/2018 9:05:06", utc, "2018-07-03T09:05:06Z"},
        {"7/3/2018 10:15:00", plusOne, "2018-07-03T09:15:00Z"},
        {"12/31/1999", utc, "1999-12-31T00:00:00Z"},
        {"7/3/2018 12:30 AM", utc, "2018-07-03T00:30:00Z"},
        {"7/3/2018 1:30 PM", utc, "2018-07-03T13:30:00Z"},
        {"13/3/2018 9:05:06", utc, ""},
        {"2018-07-03", utc, ""},
        {"", utc, ""},
        {"7/3/2018 25:00", utc, ""},
    };
    for (const auto& c : cases) {
        const QDateTime t = PstParseDateText(QLatin1String(c.text), c.zone);
        EXPECT_EQ(t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString(), QLatin1String(c.utcIso))
            << c.text;
    }
}

}  // namespace

namespace {

TEST_F(StoreTest, ConvertedStoreCheckNamesWhatIsMissing) {
    const QString pst = Path(QStringLiteral("c.pst"));
    {
        PstSession session;
        PstStore store = session.OpenStore(pst);
        PstItem draft = store.TopFolder().Items().Add(QStringLiteral("IPM.Note"));  // never marked sent
        ASSERT_TRUE(draft.Save());
        PstItem app = store.DefaultFolder(kPstCalendar).Items().Add(QStringLiteral("IPM.Appointment"));
        app.SetSubject(QStringLiteral("no times"));
        ASSERT_TRUE(app.Save());
    }
    const QStringList findings = PstCheckConvertedStore(pst);
    ASSERT_EQ(findings.size(), 3) << findings.join(u'\n').toStdString();
    EXPECT_TRUE(findings[0].endsWith(QStringLiteral("is marked unsent")));
    EXPECT_TRUE(findings[1].contains(QStringLiteral("lacks named 0x820d")));
    EXPECT_TRUE(findings[2].contains(QStringLiteral("lacks named 0x820e")));
}

}  // namespace
