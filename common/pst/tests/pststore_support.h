#pragma once
// A temporary folder, files written into it, and a store read back through pst/ directly.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "common/pst/PstStore.h"
#include "pst/messaging.h"

class StoreTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return Path(name);
    }
    static QByteArray Golden(const char* name) {
        QFile f(QStringLiteral(NSF_SOURCE_DIR "/convert/mail/tests/golden/") + QLatin1String(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        return f.readAll();
    }
    // The messages of a folder as pst/ reads them back.
    static std::vector<pst::MessageData> Messages(const QString& pstPath, const QString& folderPath) {
        std::vector<pst::MessageData> out;
        auto opened = pst::Store::Open(QFile::encodeName(pstPath).toStdString(), false);
        EXPECT_TRUE(opened) << opened.error();
        if (!opened) return out;
        auto& s = *opened;
        pst::NID nid = s->IpmSubtree();
        for (const QString& part : folderPath.split(u'\\', Qt::SkipEmptyParts)) {
            auto f = s->FindSubfolder(nid, part.toStdString());
            EXPECT_TRUE(f) << part.toStdString();
            if (!f) return out;
            nid = f->nid;
        }
        auto ids = s->Messages(nid);
        EXPECT_TRUE(ids) << ids.error();
        if (!ids) return out;
        for (pst::NID id : *ids) {
            auto m = s->ReadMessage(id);
            EXPECT_TRUE(m) << m.error();
            if (m) out.push_back(std::move(*m));
        }
        return out;
    }
    static QString Str(const pst::PropMap& m, uint16_t id) {
        auto it = m.find(id);
        return it == m.end() ? QStringLiteral("<none>") : QString::fromStdString(pst::ToUtf8(it->second));
    }
    static int64_t Long(const pst::PropMap& m, uint16_t id) {
        auto it = m.find(id);
        return it == m.end() ? -1 : int64_t(pst::AsLong(it->second));
    }

    QTemporaryDir dir_;
};
