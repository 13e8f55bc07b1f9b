#include "common/notes/NotesFuzz.h"

#include "common/notes/Notes.h"
#include "common/notes/NotesFlat.h"

#include <QDir>
#include <QString>

int FuzzDxlDatabase(const std::uint8_t* data, std::size_t size) {
    static const QString path = QStringLiteral("/fuzz/input.dxl");
    NotesMemoryDatabases::Add(path,
                              QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    LNNotesSession session;
    session.Initialize();
    LNDatabase db;
    int opened = 0;
    if (session.GetDatabase(path, &db) == LNNOERROR && db.Open() == LNNOERROR) {
        opened = 1;
        // Everything below may fail with a status or throw one; neither may do more.
        LNCatchStatus([&] {
            std::vector<LNViewFolder> views;
            db.GetViewFolders(&views);
            for (auto& view : views) {
                if (view.Open() != LNNOERROR) continue;
                const std::uint32_t n = view.GetEntryCount();
                for (std::uint32_t i = 0; i < n; ++i) {
                    LNDocument doc;
                    view.GetEntry(i).GetDocument(&doc);
                }
            }
        });
        std::vector<NOTEID> ids;
        db.GetDocumentIDs(&ids);
        for (NOTEID id : ids) {
            LNDocument doc;
            if (db.GetDocument(id, &doc) != LNNOERROR || doc.Open() != LNNOERROR) continue;
            LNCatchStatus([&] {
                doc.GetFormName();
                std::vector<LNFormField> fields;
                doc.GetFormFields(&fields);
                if (doc.IsEncrypted()) doc.Decrypt();
                for (const LNItem& item : doc.GetItems()) {
                    item.GetText();
                    item.GetDatetimes().GetText();
                    std::vector<std::uint8_t> raw;
                    item.GetRawValue(&raw);
                    LNRichText rt;
                    if (doc.GetRichText(item.GetName(), &rt) == LNNOERROR) {
                        LNString xml;
                        rt.GetXml(&xml);
                        rt.GetPlainText();
                    }
                }
                LNDatetime start, end;
                doc.GetDateRange(&start, &end);
                start.ConvertToZone(0);
                doc.GetDateSent().GetPlainText();
                for (const LNAttachment& a : doc.GetAttachments())
                    a.Detach(QDir::tempPath() + QStringLiteral("/nsf-fuzz-attachment.bin"));
                NotesItemInfo info;
                NSFItemInfo(doc.GetNoteHandle(), "Body", &info);
            });
            doc.Close();
        }
        db.Close();
    }
    NotesMemoryDatabases::Remove(path);
    return opened;
}
