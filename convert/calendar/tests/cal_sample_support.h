#pragma once
// Runs every calendar entry, contact and group of the committed sample mail database through
// the readers and writers, as the calendar run and the folder dump would.

#include "cal_test_support.h"
#include "common/notes/Notes.h"
#include "convert/calendar/CalendarIcs.h"
#include "convert/calendar/ContactVcf.h"
#include "convert/calendar/GroupText.h"

#include <vector>

struct ConvertedSamples {
    std::vector<std::pair<CalendarFields, QString>> entries;  // record, ICS path
    std::vector<std::pair<ContactFields, QString>> contacts;  // record, VCF path
    std::vector<std::pair<ContactFields, QString>> groups;    // record, TXT path
    std::vector<QString> photoPaths;
};

class SampleTest : public WriterTest {
  protected:
    void SetUp() override {
        WriterTest::SetUp();
        ASSERT_EQ(session_.Initialize(), LNNOERROR);
        ASSERT_EQ(session_.GetDatabase(QStringLiteral(CAL_SAMPLE_DIR "/mail.dxl"), &database_), LNNOERROR);
        ASSERT_EQ(database_.Open(), LNNOERROR);
        context_.database = &database_;
        options_.saveDocLinks = 1;
    }
    void TearDown() override { database_.Close(); }

    ConvertedSamples ConvertAll() {
        ConvertedSamples out;
        std::vector<NOTEID> ids;
        EXPECT_EQ(database_.GetDocumentIDs(&ids), LNNOERROR);
        for (const NOTEID id : ids) {
            LNDocument document;
            if (database_.GetDocument(id, &document) != LNNOERROR || document.Open() != LNNOERROR) continue;
            QString form;
            const LNSTATUS thrown = LNCatchStatus([&] { form = LNStringTranslate(document.GetFormName()); });
            document.Close();
            if (thrown != LNNOERROR) continue;
            const QString stem = Path(QString::number(id));
            if (form == u"Appointment" || form == u"Notice" || form == u"(ReplyNotice)") {
                const CalendarFields f = ReadCalendarFields(context_, id);
                EXPECT_EQ(WriteCalendarIcs(context_, id, f, stem + QStringLiteral("t.ics")), 1) << id;
                out.entries.emplace_back(f, stem + QStringLiteral("t.ics"));
            } else if (form == u"Person") {
                const ContactFields f = ReadContactFields(context_, id);
                QString photo;
                EXPECT_EQ(WriteContactVcf(context_, id, f, stem + QStringLiteral(".vcf"), photo), 1) << id;
                if (!photo.isEmpty()) out.photoPaths.push_back(photo);
                out.contacts.emplace_back(f, stem + QStringLiteral(".vcf"));
            } else if (form == u"Group") {
                const ContactFields f = ReadContactFields(context_, id);
                EXPECT_EQ(WriteGroupText(stem + QStringLiteral(".txt"), f, context_), 1) << id;
                out.groups.emplace_back(f, stem + QStringLiteral(".txt"));
            }
        }
        return out;
    }

    LNNotesSession session_;
    LNDatabase database_;
};
